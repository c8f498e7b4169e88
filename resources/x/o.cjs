/* Tallyclock Suite skin: calm colours and softer controls; sizes and positions stay as laid out. */
QPushButton {
    color: #1d3d5c;
    background-color: #e8eef5;
    border: 1px solid #8aa4bf;
    border-radius: 4px;
}
QPushButton:hover {
    background-color: #d6e2ef;
    border-color: #2f5d8a;
}
QPushButton:pressed {
    background-color: #c2d3e6;
}
QPushButton:focus {
    border: 2px solid #2f5d8a;
}
QGroupBox {
    color: #1d3d5c;
}
QLineEdit {
    border: 1px solid #8aa4bf;
    border-radius: 3px;
    background: #ffffff;
    selection-background-color: #2f5d8a;
}
QLineEdit:focus {
    border-color: #2f5d8a;
}
QHeaderView::section {
    background-color: #e8eef5;
    color: #1d3d5c;
    border: none;
    border-right: 1px solid #c2d3e6;
    border-bottom: 1px solid #8aa4bf;
    padding: 2px 4px;
}
QTreeView {
    alternate-background-color: #f5f8fb;
    selection-background-color: #2f5d8a;
    selection-color: #ffffff;
}
