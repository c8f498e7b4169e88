#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QTreeView>
#include <vector>

// Rows of a report-view list: a main text and sub-items per row, plus a check mark. Cells live in
// one flat vector (row after row) so that large lists stay compact and load in one batch.
class ListViewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void addColumn(const QString& header);
    QString columnHeader(int column) const;

    void setCheckable(bool on);
    bool isCheckable() const { return m_checkable; }

    int addRow(const QString& text);
    void setCell(int row, int column, const QString& text);
    QString cell(int row, int column) const;
    // Appends whole rows in one go: `cells` holds columnCount() texts per row, row after row. Each
    // row may carry a key (what it shows, for the window that filled it) and a note (a tooltip;
    // a row with a note shows in italics); missing ones are 0 and "".
    void appendRows(std::vector<QString>&& cells, std::vector<qint64> keys = {},
                    std::vector<QString> notes = {});
    qint64 rowKey(int row) const;
    QString rowNote(int row) const;
    void setRowNote(int row, const QString& note);

    bool isChecked(int row) const;
    void setChecked(int row, bool checked);
    void setCheckedRows(const std::vector<int>& rows, bool checked);

    void removeRowAt(int row);
    void clearRows();

private:
    QStringList m_headers;
    std::vector<QString> m_cells;
    std::vector<char> m_checked;
    std::vector<qint64> m_keys;
    std::vector<QString> m_notes;
    bool m_checkable = false;
};

// Stand-in for the classic list view in report view. Column 0 is the row's main text; sub-item
// k is column k. Rows are addressed by 0-based index.
class ListView : public QTreeView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    // The look of a report-view list (font, whole-row selection, no editing) for a tree view
    // with a model of its own.
    static void applyLook(QTreeView* view);

    ListViewModel* listModel() const { return m_model; }

    // Adds a column at the control's default width, widened where its header needs more.
    void addColumnHeader(const QString& header);
    int columnCount() const;
    QString columnHeader(int column) const;
    void setColumnWidthTwips(int column, int twips);

    // A check box on every row; the user can also check or uncheck all selected rows at once.
    void setCheckBoxes(bool on);

    int rowCount() const;
    int addItem(const QString& text);
    void setSubItem(int row, int subItem, const QString& text);
    QString itemText(int row, int column = 0) const;
    void appendRows(std::vector<QString>&& cells, std::vector<qint64> keys = {},
                    std::vector<QString> notes = {});

    bool isChecked(int row) const;
    void setChecked(int row, bool checked);

    // The window's own key and the note of a row (see ListViewModel::appendRows).
    qint64 rowKey(int row) const { return m_model->rowKey(row); }
    QString rowNote(int row) const { return m_model->rowNote(row); }
    void setRowNote(int row, const QString& note) { m_model->setRowNote(row, note); }

    // The selected row (the current row when it is selected, else the first selected), -1 for none.
    int selectedRow() const;
    void selectRow(int row);

    void removeRowAt(int row);
    void clearRows();

signals:
    void mouseMoved();
    // A double-click on a row away from its check mark; two quick clicks on the mark only change it.
    void rowDoubleClicked(int row);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::vector<int> selectedRows() const;
    bool onCheckMark(const QModelIndex& index, const QPoint& position);

    ListViewModel* m_model;
};
