#include "OfficeProbe.h"

#include <stdexcept>

#ifdef TALLYCLOCK_HAVE_UNO
#include "platform/SpreadsheetLibreOffice.h"

#include <com/sun/star/awt/XWindow2.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#endif

namespace LibreOffice {

const Cell& SheetContent::at(int row, int column) const {
    static const Cell empty;
    if (row < 1 || column < 1 || static_cast<size_t>(row) > rows.size())
        return empty;
    const auto& cells = rows[static_cast<size_t>(row - 1)];
    return static_cast<size_t>(column) > cells.size() ? empty : cells[static_cast<size_t>(column - 1)];
}

#ifdef TALLYCLOCK_HAVE_UNO

namespace {

namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

QString fromOU(const rtl::OUString& text) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.getStr()), text.getLength());
}

Cell readCell(const Reference<css::table::XCell>& cell) {
    Cell result;
    switch (cell->getType()) {
    case css::table::CellContentType_VALUE:
        result.type = Cell::Type::Value;
        break;
    case css::table::CellContentType_TEXT:
        result.type = Cell::Type::Text;
        break;
    case css::table::CellContentType_FORMULA:
        result.type = Cell::Type::Formula;
        break;
    default:
        result.type = Cell::Type::Empty;
        break;
    }
    result.formula = fromOU(cell->getFormula());
    result.string = fromOU(Reference<css::text::XTextRange>(cell, UNO_QUERY_THROW)->getString());
    return result;
}

Reference<css::awt::XWindow> containerWindow(const Reference<css::frame::XModel>& model) {
    const auto controller = model->getCurrentController();
    if (!controller.is() || !controller->getFrame().is())
        return {};
    return controller->getFrame()->getContainerWindow();
}

SheetContent readSheet(const Reference<css::frame::XModel>& model) {
    SheetContent content;
    Reference<css::sheet::XSpreadsheetDocument> document(model, UNO_QUERY_THROW);
    Reference<css::container::XIndexAccess> sheets(document->getSheets(), UNO_QUERY_THROW);
    Reference<css::sheet::XSpreadsheet> sheet(sheets->getByIndex(0), UNO_QUERY_THROW);
    Reference<css::sheet::XUsedAreaCursor> cursor(sheet->createCursor(), UNO_QUERY_THROW);
    cursor->gotoEndOfUsedArea(false);
    const auto end = Reference<css::sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress();
    for (sal_Int32 r = 0; r <= end.EndRow; ++r) {
        std::vector<Cell> row;
        for (sal_Int32 c = 0; c <= end.EndColumn; ++c)
            row.push_back(readCell(sheet->getCellByPosition(c, r)));
        content.rows.push_back(std::move(row));
    }
    const Reference<css::awt::XWindow2> window(containerWindow(model), UNO_QUERY);
    if (window.is()) {
        content.windowVisible = window->isVisible();
        content.windowActive = window->isActive();
    }
    return content;
}

} // namespace

struct Probe::Private {
    Settings settings;
    qint64 pid = 0;
    std::shared_ptr<Connection> current;

    // A connection given up (an export past its deadline gives up the bridge it shares with us)
    // is made anew.
    Connection& connection() {
        if (!current || current->givenUp())
            current = Connection::open(settings.pipeName, settings, pid);
        return *current;
    }
    Reference<css::frame::XDesktop2> desktop() { return css::frame::Desktop::create(connection().context()); }

    std::vector<Reference<css::frame::XModel>> documents() {
        std::vector<Reference<css::frame::XModel>> found;
        const auto components = desktop()->getComponents()->createEnumeration();
        while (components->hasMoreElements()) {
            Reference<css::lang::XServiceInfo> info(components->nextElement(), UNO_QUERY);
            if (info.is() && info->supportsService("com.sun.star.sheet.SpreadsheetDocument"))
                found.emplace_back(info, UNO_QUERY);
        }
        return found;
    }
};

bool moduleBuilt() {
    return true;
}

std::unique_ptr<Probe> Probe::launch(const Settings& settings) {
    if (settings.pipeName.isEmpty())
        throw std::invalid_argument("A probe needs a pipe name.");
    auto p = std::make_unique<Private>();
    p->settings = settings;
    p->pid = startOffice(settings, settings.pipeName);
    p->connection();
    return std::unique_ptr<Probe>(new Probe(std::move(p)));
}

qint64 Probe::pid() const {
    return d->pid;
}

void Probe::disconnect() {
    d->current.reset();
}

std::vector<qint64> Probe::processes() const {
    return processTree(d->pid);
}

bool Probe::isAlive() {
    try {
        d->connection().call([&] { d->desktop()->getComponents(); });
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::vector<SheetContent> Probe::spreadsheets() {
    std::vector<SheetContent> result;
    d->connection().call([&] {
        for (const auto& model : d->documents())
            result.push_back(readSheet(model));
    });
    return result;
}

void Probe::closeDocuments() {
    d->connection().call([&] {
        for (const auto& model : d->documents())
            Reference<css::util::XCloseable>(model, UNO_QUERY_THROW)->close(true);
    });
}

void Probe::terminate() {
    try {
        d->connection().call([&] { d->desktop()->terminate(); });
    } catch (const std::exception&) {
        // The bridge goes down with the office; a lost connection here is the expected end.
    }
    d->current.reset();
    if (!waitForExit(d->pid, 30000))
        throw std::runtime_error("The office did not end.");
}

#else

struct Probe::Private {};

bool moduleBuilt() {
    return false;
}

std::unique_ptr<Probe> Probe::launch(const Settings&) {
    throw std::runtime_error("This build has no office module.");
}
qint64 Probe::pid() const {
    return 0;
}
void Probe::disconnect() {}
std::vector<qint64> Probe::processes() const {
    return {};
}
bool Probe::isAlive() {
    return false;
}
std::vector<SheetContent> Probe::spreadsheets() {
    return {};
}
void Probe::closeDocuments() {}
void Probe::terminate() {}

#endif

Probe::Probe(std::unique_ptr<Private> p) : d(std::move(p)) {}
Probe::~Probe() = default;

} // namespace LibreOffice
