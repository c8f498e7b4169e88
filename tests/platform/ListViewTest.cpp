#include "platform/ListView.h"
#include "common/TestSupport.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTest>
#include <stdexcept>

namespace {

ListView* listWithColumns(int columns) {
    auto* list = new ListView;
    for (int c = 0; c < columns; ++c)
        list->addColumnHeader(QStringLiteral("H%1").arg(c));
    return list;
}

QStringList firstColumn(const ListView& list) {
    QStringList texts;
    for (int r = 0; r < list.rowCount(); ++r)
        texts.append(list.itemText(r));
    return texts;
}

} // namespace

class ListViewTest : public QObject {
    Q_OBJECT

private slots:
    void columnsAndCells() {
        std::unique_ptr<ListView> list(listWithColumns(3));
        QCOMPARE(list->columnCount(), 3);
        QCOMPARE(list->columnHeader(2), QStringLiteral("H2"));
        QCOMPARE(list->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("H1"));
        list->setColumnWidthTwips(0, 1440);
        QCOMPARE(list->columnWidth(0), list->logicalDpiX());

        const int row = list->addItem(QStringLiteral("main"));
        QCOMPARE(row, 0);
        list->setSubItem(row, 2, QStringLiteral("third"));
        QCOMPARE(list->itemText(0), QStringLiteral("main"));
        QCOMPARE(list->itemText(0, 1), QString());
        QCOMPARE(list->itemText(0, 2), QStringLiteral("third"));
        QCOMPARE(list->model()->index(0, 2).data().toString(), QStringLiteral("third"));
        QCOMPARE(list->addItem(QStringLiteral("second")), 1);

        // Out of range: sub-item 0 is the main text, not a sub-item.
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list->setSubItem(0, 0, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list->setSubItem(0, 3, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list->setSubItem(2, 1, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list->itemText(-1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list->setColumnWidthTwips(3, 100));

        // A column added later gives the existing rows an empty cell.
        list->addColumnHeader(QStringLiteral("H3"));
        QCOMPARE(list->itemText(0, 2), QStringLiteral("third"));
        QCOMPARE(list->itemText(1, 0), QStringLiteral("second"));
        QCOMPARE(list->itemText(0, 3), QString());

        std::unique_ptr<ListView> noColumns(new ListView);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, noColumns->addItem(QStringLiteral("x")));
    }

    void removeAndClear() {
        std::unique_ptr<ListView> list(listWithColumns(2));
        for (const char* text : {"a", "b", "c"}) {
            const int row = list->addItem(QString::fromLatin1(text));
            list->setSubItem(row, 1, QString::fromLatin1(text).toUpper());
        }
        list->setCheckBoxes(true);
        list->setChecked(2, true);
        list->removeRowAt(1);
        QCOMPARE(firstColumn(*list), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
        QCOMPARE(list->itemText(1, 1), QStringLiteral("C"));
        QVERIFY(!list->isChecked(0));
        QVERIFY(list->isChecked(1)); // the mark moves with its row
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list->removeRowAt(2));
        list->clearRows();
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(list->columnCount(), 2);
        QCOMPARE(list->addItem(QStringLiteral("again")), 0);
        QVERIFY(!list->isChecked(0));
    }

    void checkMarks() {
        std::unique_ptr<ListView> list(listWithColumns(2));
        for (int i = 0; i < 4; ++i)
            list->addItem(QString::number(i));
        const QModelIndex first = list->model()->index(0, 0);
        // Without check boxes there is nothing to tick.
        QVERIFY(!first.data(Qt::CheckStateRole).isValid());
        QVERIFY(!(first.flags() & Qt::ItemIsUserCheckable));

        list->setCheckBoxes(true);
        QCOMPARE(first.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        list->setChecked(0, true);
        QVERIFY(list->isChecked(0));
        QCOMPARE(first.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        // The user's tick through the model.
        QVERIFY(list->model()->setData(list->model()->index(3, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(list->isChecked(3));
        QVERIFY(!list->model()->setData(list->model()->index(3, 1), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(list->isChecked(3));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list->setChecked(4, true));
    }

    void spaceTogglesEverySelectedRow() {
        std::unique_ptr<ListView> list(listWithColumns(2));
        for (int i = 0; i < 5; ++i)
            list->addItem(QString::number(i));
        list->setCheckBoxes(true);
        list->show();
        list->setFocus();
        list->setChecked(0, true);

        QItemSelectionModel* selection = list->selectionModel();
        selection->select(list->model()->index(0, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection->setCurrentIndex(list->model()->index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection->select(list->model()->index(3, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(list->selectedRow(), 2);

        // Rows 0, 2 and 3 follow the current row's new mark; rows 1 and 4 are left alone.
        QTest::keyClick(list.get(), Qt::Key_Space);
        for (int row : {0, 2, 3})
            QVERIFY2(list->isChecked(row), qPrintable(QString::number(row)));
        QVERIFY(!list->isChecked(1));
        QVERIFY(!list->isChecked(4));
        QTest::keyClick(list.get(), Qt::Key_Space);
        for (int row = 0; row < 5; ++row)
            QVERIFY(!list->isChecked(row));

        // One selected row: Space ticks that row alone.
        list->selectRow(4);
        QCOMPARE(list->selectedRow(), 4);
        QTest::keyClick(list.get(), Qt::Key_Space);
        QVERIFY(list->isChecked(4));
        QCOMPARE(list->selectedRow(), 4);
        for (int row = 0; row < 4; ++row)
            QVERIFY(!list->isChecked(row));
    }

    // A row chosen by a click on any of its cells takes Space the same way.
    void spaceAfterClickingAnyCell_data() {
        QTest::addColumn<int>("column");
        QTest::newRow("first column") << 0;
        QTest::newRow("second column") << 1;
        QTest::newRow("last column") << 2;
    }
    void spaceAfterClickingAnyCell() {
        QFETCH(int, column);
        std::unique_ptr<ListView> list(listWithColumns(3));
        for (int i = 0; i < 3; ++i)
            list->addItem(QString::number(i));
        list->setCheckBoxes(true);
        list->resize(800, 300);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        const QRect cell = list->visualRect(list->model()->index(1, column));
        // Away from the check box, which a click would toggle by itself.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(cell.right() - 4, cell.center().y()));
        QCOMPARE(list->selectedRow(), 1);
        QVERIFY(!list->isChecked(1));
        QTest::keyClick(list.get(), Qt::Key_Space);
        QVERIFY(list->isChecked(1));
        QTest::keyClick(list.get(), Qt::Key_Space);
        QVERIFY(!list->isChecked(1));
        QVERIFY(!list->isChecked(0));
        QVERIFY(!list->isChecked(2));
    }

    // A column at the control's default width is widened to its header; one sized by the caller
    // keeps that size.
    void defaultWidthFitsTheHeader() {
        std::unique_ptr<ListView> list(new ListView);
        list->addColumnHeader(QStringLiteral("Login Difference and then some more words"));
        list->addColumnHeader(QStringLiteral("X"));
        QHeaderView* header = list->header();
        QVERIFY(header->sectionSizeHint(0) > header->defaultSectionSize());
        QVERIFY(list->columnWidth(0) >= header->sectionSizeHint(0));
        QCOMPARE(list->columnWidth(1), header->defaultSectionSize());
        list->setColumnWidthTwips(0, 720);
        QCOMPARE(list->columnWidth(0), list->logicalDpiX() / 2);
    }

    void spaceWithoutCheckBoxesChangesNoMark() {
        std::unique_ptr<ListView> list(listWithColumns(1));
        for (int i = 0; i < 3; ++i)
            list->addItem(QString::number(i));
        list->show();
        list->setFocus();
        list->selectRow(1);
        QTest::keyClick(list.get(), Qt::Key_Space);
        QCOMPARE(list->selectedRow(), 1);
        list->setCheckBoxes(true);
        for (int row = 0; row < 3; ++row)
            QVERIFY(!list->isChecked(row));
    }

    void appendRowsInOneBatch() {
        std::unique_ptr<ListView> list(listWithColumns(3));
        list->addItem(QStringLiteral("before"));
        std::vector<QString> wrong = {QStringLiteral("a"), QStringLiteral("b")};
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, list->appendRows(std::move(wrong)));
        QCOMPARE(list->rowCount(), 1);
        list->appendRows({});
        QCOMPARE(list->rowCount(), 1);

        constexpr int kRows = 100000;
        std::vector<QString> cells;
        cells.reserve(kRows * 3);
        for (int r = 0; r < kRows; ++r) {
            cells.push_back(QString::number(r));
            cells.push_back(QStringLiteral("name %1").arg(r % 97));
            cells.push_back(r % 2 ? QString() : QStringLiteral("even"));
        }
        list->appendRows(std::move(cells));
        QCOMPARE(list->rowCount(), kRows + 1);
        QCOMPARE(list->itemText(0), QStringLiteral("before"));
        QCOMPARE(list->itemText(0, 2), QString());
        for (int r : {0, 1, 96, 97, 54321, kRows - 1}) {
            QCOMPARE(list->itemText(r + 1, 0), QString::number(r));
            QCOMPARE(list->itemText(r + 1, 1), QStringLiteral("name %1").arg(r % 97));
            QCOMPARE(list->itemText(r + 1, 2), r % 2 ? QString() : QStringLiteral("even"));
        }
        QCOMPARE(list->model()->rowCount(), kRows + 1);
        QCOMPARE(list->model()->index(kRows, 0).data().toString(), QString::number(kRows - 1));
        list->setCheckBoxes(true);
        QVERIFY(!list->isChecked(kRows));
        list->setChecked(kRows, true);
        QVERIFY(list->isChecked(kRows));
    }
};

TALLYCLOCK_TEST(ListViewTest)
#include "ListViewTest.moc"
