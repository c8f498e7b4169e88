#include "platform/ListView.h"

#include "platform/Fonts.h"
#include "platform/Twips.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <algorithm>

// ---- ListViewModel ----

int ListViewModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || m_headers.isEmpty())
        return 0;
    return static_cast<int>(m_checked.size());
}

int ListViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return QVariant();
    const QString& note = m_notes[static_cast<size_t>(index.row())];
    if (role == Qt::ToolTipRole && !note.isEmpty())
        return note;
    if (role == Qt::AccessibleDescriptionRole && !note.isEmpty())
        return note;
    if (role == Qt::FontRole && !note.isEmpty()) {
        QFont marked = Fonts::window();
        marked.setItalic(true);
        return marked;
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return cell(index.row(), index.column());
    if (role == Qt::CheckStateRole && m_checkable && index.column() == 0)
        return isChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    return QVariant();
}

bool ListViewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole || !m_checkable || index.column() != 0)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_headers.size())
        return m_headers.at(section);
    return QVariant();
}

Qt::ItemFlags ListViewModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_checkable && index.column() == 0)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

void ListViewModel::addColumn(const QString& header) {
    // Existing rows gain an empty cell in the new column.
    const int oldColumns = static_cast<int>(m_headers.size());
    const int rows = static_cast<int>(m_checked.size());
    beginResetModel();
    if (rows > 0 && oldColumns > 0) {
        std::vector<QString> cells;
        cells.reserve(static_cast<size_t>(rows) * (oldColumns + 1));
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < oldColumns; ++c)
                cells.push_back(std::move(m_cells[static_cast<size_t>(r) * oldColumns + c]));
            cells.emplace_back();
        }
        m_cells = std::move(cells);
    }
    m_headers.append(header);
    endResetModel();
}

QString ListViewModel::columnHeader(int column) const {
    if (column < 0 || column >= m_headers.size())
        throw std::out_of_range("Invalid column index.");
    return m_headers.at(column);
}

void ListViewModel::setCheckable(bool on) {
    m_checkable = on;
    if (!m_checked.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

int ListViewModel::addRow(const QString& text) {
    if (m_headers.isEmpty())
        throw std::out_of_range("The list has no columns.");
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    m_cells.push_back(text);
    m_cells.resize(m_cells.size() + m_headers.size() - 1);
    m_checked.push_back(0);
    m_keys.push_back(0);
    m_notes.emplace_back();
    endInsertRows();
    return row;
}

void ListViewModel::setCell(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_headers.size())
        throw std::out_of_range("Invalid list row or column index.");
    m_cells[static_cast<size_t>(row) * m_headers.size() + column] = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

QString ListViewModel::cell(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_headers.size())
        throw std::out_of_range("Invalid list row or column index.");
    return m_cells[static_cast<size_t>(row) * m_headers.size() + column];
}

void ListViewModel::appendRows(std::vector<QString>&& cells, std::vector<qint64> keys,
                               std::vector<QString> notes) {
    const size_t columns = static_cast<size_t>(m_headers.size());
    if (columns == 0 || cells.size() % columns != 0)
        throw std::invalid_argument("The rows do not match the list's columns.");
    const int added = static_cast<int>(cells.size() / columns);
    keys.resize(static_cast<size_t>(added), 0);
    notes.resize(static_cast<size_t>(added));
    if (added == 0)
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + added - 1);
    if (m_cells.empty()) {
        m_cells = std::move(cells);
    } else {
        m_cells.reserve(m_cells.size() + cells.size());
        std::move(cells.begin(), cells.end(), std::back_inserter(m_cells));
    }
    m_checked.resize(m_checked.size() + added, 0);
    m_keys.insert(m_keys.end(), keys.begin(), keys.end());
    std::move(notes.begin(), notes.end(), std::back_inserter(m_notes));
    endInsertRows();
}

bool ListViewModel::isChecked(int row) const {
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("Invalid list row index.");
    return m_checked[static_cast<size_t>(row)] != 0;
}

void ListViewModel::setChecked(int row, bool checked) {
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("Invalid list row index.");
    m_checked[static_cast<size_t>(row)] = checked ? 1 : 0;
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
}

void ListViewModel::setCheckedRows(const std::vector<int>& rows, bool checked) {
    if (rows.empty())
        return;
    int low = rows.front();
    int high = rows.front();
    for (int row : rows) {
        if (row < 0 || row >= rowCount())
            throw std::out_of_range("Invalid list row index.");
        m_checked[static_cast<size_t>(row)] = checked ? 1 : 0;
        low = std::min(low, row);
        high = std::max(high, row);
    }
    emit dataChanged(index(low, 0), index(high, 0), {Qt::CheckStateRole});
}

qint64 ListViewModel::rowKey(int row) const {
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("Invalid list row index.");
    return m_keys[static_cast<size_t>(row)];
}

QString ListViewModel::rowNote(int row) const {
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("Invalid list row index.");
    return m_notes[static_cast<size_t>(row)];
}

void ListViewModel::setRowNote(int row, const QString& note) {
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("Invalid list row index.");
    m_notes[static_cast<size_t>(row)] = note;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void ListViewModel::removeRowAt(int row) {
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("Invalid list row index.");
    const size_t columns = static_cast<size_t>(m_headers.size());
    beginRemoveRows(QModelIndex(), row, row);
    const auto first = m_cells.begin() + static_cast<std::ptrdiff_t>(row * columns);
    m_cells.erase(first, first + static_cast<std::ptrdiff_t>(columns));
    m_checked.erase(m_checked.begin() + row);
    m_keys.erase(m_keys.begin() + row);
    m_notes.erase(m_notes.begin() + row);
    endRemoveRows();
}

void ListViewModel::clearRows() {
    beginResetModel();
    m_cells = {};
    m_checked = {};
    m_keys = {};
    m_notes = {};
    endResetModel();
}

// ---- ListView ----

ListView::ListView(QWidget* parent) : QTreeView(parent), m_model(new ListViewModel(this)) {
    setModel(m_model);
    applyLook(this);
}

void ListView::applyLook(QTreeView* view) {
    view->setFont(Fonts::window());
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setMouseTracking(true);
    // The titles share the list's font; in a dialog under the skin the header would not inherit it.
    view->header()->setFont(Fonts::window());
    view->header()->setStretchLastSection(false);
    view->header()->setSectionsMovable(false);
    view->header()->setDefaultSectionSize(Twips::toPixelsX(view, 1440));
}

void ListView::addColumnHeader(const QString& header) {
    m_model->addColumn(header);
    // A column left at the control's default width still shows its whole header.
    const int column = columnCount() - 1;
    setColumnWidth(column,
                   std::max(this->header()->defaultSectionSize(), this->header()->sectionSizeHint(column)));
}

int ListView::columnCount() const {
    return m_model->columnCount();
}

QString ListView::columnHeader(int column) const {
    return m_model->columnHeader(column);
}

void ListView::setColumnWidthTwips(int column, int twips) {
    if (column < 0 || column >= columnCount())
        throw std::out_of_range("Invalid column index.");
    setColumnWidth(column, Twips::toPixelsX(this, twips));
}

void ListView::setCheckBoxes(bool on) {
    m_model->setCheckable(on);
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

int ListView::rowCount() const {
    return m_model->rowCount();
}

int ListView::addItem(const QString& text) {
    return m_model->addRow(text);
}

void ListView::setSubItem(int row, int subItem, const QString& text) {
    if (subItem < 1)
        throw std::out_of_range("Invalid sub-item index.");
    m_model->setCell(row, subItem, text);
}

QString ListView::itemText(int row, int column) const {
    return m_model->cell(row, column);
}

void ListView::appendRows(std::vector<QString>&& cells, std::vector<qint64> keys,
                          std::vector<QString> notes) {
    m_model->appendRows(std::move(cells), std::move(keys), std::move(notes));
}

bool ListView::isChecked(int row) const {
    return m_model->isChecked(row);
}

void ListView::setChecked(int row, bool checked) {
    m_model->setChecked(row, checked);
}

std::vector<int> ListView::selectedRows() const {
    std::vector<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int ListView::selectedRow() const {
    if (!selectionModel())
        return -1;
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return current.row();
    const std::vector<int> rows = selectedRows();
    return rows.empty() ? -1 : rows.front();
}

void ListView::selectRow(int row) {
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("Invalid list row index.");
    const QModelIndex target = m_model->index(row, 0);
    selectionModel()->setCurrentIndex(target,
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ListView::removeRowAt(int row) {
    m_model->removeRowAt(row);
}

void ListView::clearRows() {
    m_model->clearRows();
}

void ListView::keyPressEvent(QKeyEvent* event) {
    // Space marks or clears every selected row at once, following the current row's mark. Handled
    // here for one row too: the view's own handling would act on the current cell only, which
    // carries no mark unless the row was clicked in its first column.
    if (m_model->isCheckable() && event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        const std::vector<int> rows = selectedRows();
        if (!rows.empty()) {
            const int anchor = selectedRow();
            m_model->setCheckedRows(rows, !m_model->isChecked(anchor));
            event->accept();
            return;
        }
    }
    QTreeView::keyPressEvent(event);
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(position);
    const bool onMark = index.isValid() && onCheckMark(index, position);
    QTreeView::mouseDoubleClickEvent(event);
    if (index.isValid() && event->button() == Qt::LeftButton && !onMark)
        emit rowDoubleClicked(index.row());
}

bool ListView::onCheckMark(const QModelIndex& index, const QPoint& position) {
    if (!m_model->isCheckable() || index.column() != 0)
        return false;
    // Where the item's delegate draws the mark: the same style rectangle it tests its clicks against.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.index = index;
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QWidget* widget = this;
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, widget).contains(position);
}

void ListView::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved();
    QTreeView::mouseMoveEvent(event);
}

void ListView::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_model->isCheckable() || rowCount() == 0) {
        QTreeView::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    const std::vector<int> rows = selectedRows();
    QAction* checkSelected = menu.addAction(tr("Check Selected Rows"));
    QAction* uncheckSelected = menu.addAction(tr("Uncheck Selected Rows"));
    checkSelected->setEnabled(!rows.empty());
    uncheckSelected->setEnabled(!rows.empty());
    menu.addSeparator();
    QAction* checkAll = menu.addAction(tr("Check All Rows"));
    menu.addAction(tr("Uncheck All Rows"));
    QAction* chosen = menu.exec(event->globalPos());
    if (!chosen)
        return;
    if (chosen == checkSelected || chosen == uncheckSelected) {
        m_model->setCheckedRows(rows, chosen == checkSelected);
    } else {
        std::vector<int> all(static_cast<size_t>(rowCount()));
        for (int i = 0; i < rowCount(); ++i)
            all[static_cast<size_t>(i)] = i;
        m_model->setCheckedRows(all, chosen == checkAll);
    }
}
