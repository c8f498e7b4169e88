/* Tallyclock Suite skin: a calm blue-grey palette, soft borders and rounded corners. It sets only
   colours, borders and corners on the laid-out controls, never their sizes or paddings, so that no
   control moves or clips its caption. */

/* The main window: white panels on a quiet background. */
#mainWindow {
    background-color: #eef2f6;
}
#mainWindow QGroupBox {
    background-color: #ffffff;
    border: 1px solid #c5d1de;
    border-radius: 6px;
    margin-top: 7px; /* the frame line runs through the middle of the title, as in the layout */
    color: #1d3d5c;
}
#mainWindow QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 6px;
    padding: 0px 3px;
    background-color: #ffffff;
}
#mainWindow QGroupBox QLabel, #mainWindow QGroupBox QRadioButton {
    background-color: transparent;
    color: #1f2a36;
}
#mainWindow QRadioButton::indicator {
    width: 12px;
    height: 12px;
    border: 1px solid #7f95ab;
    border-radius: 7px;
    background-color: #ffffff;
}
#mainWindow QRadioButton::indicator:checked {
    background-color: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,
                                      stop: 0 #2f5d8a, stop: 0.45 #2f5d8a, stop: 0.55 #ffffff);
}
#mainWindow QRadioButton::indicator:focus {
    border-color: #2f5d8a;
}
#mainWindow #dateLabel, #mainWindow #timeLabel {
    color: #1d3d5c;
}

QPushButton {
    color: #1d3d5c;
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #f8fafc, stop: 1 #e3eaf2);
    border: 1px solid #9fb3c8;
    border-radius: 5px;
}
QPushButton:hover {
    background-color: #dde8f4;
    border-color: #2f5d8a;
}
QPushButton:pressed {
    background-color: #c9d9ea;
}
QPushButton:focus {
    border: 2px solid #2f5d8a;
}
QPushButton:disabled {
    color: #8a99a8;
    border-color: #c5d1de;
}
/* Buttons that a layout sizes (message boxes, file dialogs) get room around their captions. */
QDialogButtonBox QPushButton {
    padding: 4px 14px;
    min-width: 60px;
}

QLineEdit {
    border: 1px solid #9fb3c8;
    border-radius: 3px;
    background-color: #ffffff;
    selection-background-color: #2f5d8a;
    selection-color: #ffffff;
}
QLineEdit:focus {
    border-color: #2f5d8a;
}

QTreeView {
    border: 1px solid #c5d1de;
    background-color: #ffffff;
    alternate-background-color: #f5f8fb;
    selection-background-color: #2f5d8a;
    selection-color: #ffffff;
}
QHeaderView::section {
    background-color: #e8eef5;
    color: #1d3d5c;
    border: none;
    border-right: 1px solid #c5d1de;
    border-bottom: 1px solid #9fb3c8;
    padding: 2px 4px;
}
