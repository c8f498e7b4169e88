#include "platform/SpreadsheetLibreOffice.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <optional>
#include <stdexcept>

#ifdef TALLYCLOCK_HAVE_UNO
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow2.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XLayoutManager.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeFormula.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>
#endif

namespace LibreOffice {

namespace {

#ifdef TALLYCLOCK_HAVE_UNO
const QString kProgramDir = QStringLiteral(TALLYCLOCK_LIBREOFFICE_PROGRAM_DIR);
#else
const QString kProgramDir = QStringLiteral("/usr/lib/libreoffice/program");
#endif

Settings& currentSettings() {
    static Settings settings;
    return settings;
}

[[noreturn]] void notInstalled(const QString& why) {
    throw std::runtime_error(("LibreOffice Calc could not be started: " + why).toStdString());
}

// The process we started is gone (zombies count as gone: whoever reaps them may be slow).
bool processAlive(qint64 pid) {
    if (pid <= 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return false;
    const char state = line.at(close + 2);
    return state != 'Z' && state != 'X';
}

// Waits without freezing the window.
void pause(int ms) {
    QDeadlineTimer until(ms);
    while (!until.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
}

bool waitForExit(qint64 pid, int ms) {
    QDeadlineTimer until(ms);
    while (processAlive(pid)) {
        if (until.hasExpired())
            return false;
        QThread::msleep(25);
    }
    return true;
}

QString newPipeName() {
    return QStringLiteral("tallyclock_%1_%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

// Starts the office's start program detached, so the office outlives this program.
qint64 startProcess(const Settings& settings, const QString& pipe) {
    const QString program = programPath();
    if (program.isEmpty())
        notInstalled(QStringLiteral("the office program was not found."));
    // No start centre, no logo and no recovery dialog: a modal dialog in the office would block
    // every call into it.
    QStringList arguments{QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
                          QStringLiteral("--norestore"),
                          QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipe)};
    arguments += settings.extraArguments;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        notInstalled(QStringLiteral("%1 could not be run.").arg(program));
    return pid;
}

#ifdef TALLYCLOCK_HAVE_UNO
namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

OUString toOU(const QString& text) {
    return OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), static_cast<sal_Int32>(text.size()));
}
QString fromOU(const OUString& text) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.getStr()), text.getLength());
}

// Runs a UNO call and turns the office's exceptions into the descriptions the error box shows.
template <typename Call> auto unoCall(Call&& call) -> decltype(call()) {
    try {
        return call();
    } catch (const css::lang::DisposedException&) {
        throw std::runtime_error("The connection to LibreOffice Calc was lost.");
    } catch (const css::uno::Exception& e) {
        const QString message = fromOU(e.Message).trimmed();
        throw std::runtime_error(
            ("LibreOffice Calc reported an error" + (message.isEmpty() ? QString() : ": " + message) + ".")
                .toStdString());
    }
}

// The local UNO environment, set up once from the installed office's bootstrap file.
Reference<css::uno::XComponentContext> localContext() {
    static Reference<css::uno::XComponentContext> context;
    if (!context.is()) {
        const QString rc = kProgramDir + QStringLiteral("/fundamentalrc");
        if (!QFileInfo::exists(rc))
            notInstalled(QStringLiteral("%1 is missing.").arg(rc));
        rtl::Bootstrap::set(OUString("URE_BOOTSTRAP"), toOU(QStringLiteral("vnd.sun.star.pathname:") + rc));
        try {
            context = cppu::defaultBootstrap_InitialComponentContext();
        } catch (const css::uno::Exception& e) {
            notInstalled(QStringLiteral("its runtime did not start (%1).").arg(fromOU(e.Message)));
        }
    }
    return context;
}

// Connects to the office on `pipe`. The resolver fails at once while nobody accepts, so it is
// asked again until the deadline; once the process we started has gone without the pipe coming
// up (a failed start), a short grace ends the wait early.
Reference<css::uno::XComponentContext> connect(const QString& pipe, int timeoutMs, qint64 pid) {
    const auto resolver = unoCall([] { return css::bridge::UnoUrlResolver::create(localContext()); });
    const OUString url = toOU(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe));
    QDeadlineTimer deadline(timeoutMs);
    std::optional<QDeadlineTimer> grace;
    for (;;) {
        try {
            return Reference<css::uno::XComponentContext>(resolver->resolve(url), UNO_QUERY_THROW);
        } catch (const css::connection::NoConnectException&) {
        } catch (const css::uno::Exception& e) {
            notInstalled(QStringLiteral("the connection failed (%1).").arg(fromOU(e.Message)));
        }
        if (deadline.hasExpired())
            notInstalled(QStringLiteral("it did not answer within %1 seconds.").arg(timeoutMs / 1000));
        if (pid > 0 && !grace && !processAlive(pid))
            grace = QDeadlineTimer(3000);
        if (grace && grace->hasExpired())
            notInstalled(QStringLiteral("the office program ended without accepting the connection."));
        pause(100);
    }
}

Reference<css::frame::XDesktop2> desktopOf(const Reference<css::uno::XComponentContext>& context) {
    return unoCall([&] { return css::frame::Desktop::create(context); });
}

Reference<css::awt::XWindow> containerWindow(const Reference<css::frame::XModel>& model) {
    if (!model.is())
        return {};
    const auto controller = model->getCurrentController();
    if (!controller.is())
        return {};
    const auto frame = controller->getFrame();
    return frame.is() ? frame->getContainerWindow() : Reference<css::awt::XWindow>();
}

// A document loaded hidden gets no menu bar and no tool bars when its window is shown later; the
// usual ones of a new spreadsheet are put up here.
void showBars(const Reference<css::frame::XFrame>& frame) {
    const Reference<css::beans::XPropertySet> properties(frame, UNO_QUERY);
    if (!properties.is())
        return;
    Reference<css::frame::XLayoutManager> layout;
    properties->getPropertyValue(OUString("LayoutManager")) >>= layout;
    if (!layout.is())
        return;
    for (const char* bar : {"private:resource/menubar/menubar", "private:resource/toolbar/standardbar",
                            "private:resource/toolbar/formatobjectbar", "private:resource/toolbar/formulabar",
                            "private:resource/statusbar/statusbar"}) {
        const OUString name = OUString::createFromAscii(bar);
        layout->createElement(name);
        layout->showElement(name);
    }
    layout->setVisible(true);
    layout->doLayout();
}

// What goes into the formula array for a cell text: Calc reads it as typing would, so numbers,
// dates and times become values. A text Calc would take as a formula, or whose leading apostrophe
// it would eat, gets the apostrophe that marks a literal text: no cell text is ever evaluated.
OUString literalFormula(const QString& text) {
    if (text.isEmpty())
        return OUString();
    const QChar first = text.at(0);
    bool literal = first == u'=' || first == u'\'' || first == u'@';
    if (!literal && (first == u'+' || first == u'-') && text.size() > 1) {
        // A signed number stays a number; anything else after a sign Calc would evaluate.
        bool number = false;
        QString(text).remove(u',').toDouble(&number);
        literal = !number;
    }
    return toOU(literal ? QStringLiteral("'") + text : text);
}

// An office we started ourselves still runs our process; the user's office took over our start
// request and let our process go. Only our own, holding nothing, is ended: never the user's.
void endIfOurs(const Reference<css::frame::XDesktop2>& desktop, qint64 pid, int waitMs) {
    if (waitForExit(pid, waitMs))
        return;
    const auto components = desktop->getComponents()->createEnumeration();
    if (!components->hasMoreElements())
        desktop->terminate();
}

// The office that the availability check started, kept for the export that follows it.
struct ParkedOffice {
    Reference<css::uno::XComponentContext> context;
    qint64 pid = 0;
    QString startedWith; // the settings it was started with
    int generation = 0;
};
constexpr int kParkedMs = 20000;

std::optional<ParkedOffice>& parkedOffice() {
    // Never destroyed: a remote reference must not be released after the program's end.
    static auto* parked = new std::optional<ParkedOffice>;
    return *parked;
}

QString settingsKey() {
    const Settings& settings = currentSettings();
    return settings.program + QLatin1Char('\n') + settings.extraArguments.join(QLatin1Char('\n')) +
           QLatin1Char('\n') + settings.pipeName;
}

void endParked() {
    if (!parkedOffice())
        return;
    const ParkedOffice office = std::move(*parkedOffice());
    parkedOffice().reset();
    try {
        endIfOurs(desktopOf(office.context), office.pid, 2000);
    } catch (...) {
        // Already gone.
    }
}

void park(const Reference<css::uno::XComponentContext>& context, qint64 pid) {
    static int generations = 0;
    static bool hooked = false;
    endParked();
    const int generation = ++generations;
    parkedOffice() = ParkedOffice{context, pid, settingsKey(), generation};
    if (!qApp)
        return;
    if (!hooked) {
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { endParked(); });
        hooked = true;
    }
    QTimer::singleShot(kParkedMs, qApp, [generation] {
        if (parkedOffice() && parkedOffice()->generation == generation)
            endParked();
    });
}

// The office the check left, when it was started the same way and still answers.
Reference<css::uno::XComponentContext> takeParked(qint64& pid) {
    if (!parkedOffice())
        return {};
    ParkedOffice office = std::move(*parkedOffice());
    parkedOffice().reset();
    if (office.startedWith != settingsKey()) {
        parkedOffice() = std::move(office);
        endParked();
        return {};
    }
    try {
        desktopOf(office.context);
    } catch (...) {
        return {};
    }
    pid = office.pid;
    return office.context;
}

class CalcApplication : public SpreadsheetApplication {
public:
    CalcApplication(Reference<css::uno::XComponentContext> context, qint64 pid)
        : m_context(std::move(context)), m_pid(pid) {
        m_desktop = desktopOf(m_context);
    }

    ~CalcApplication() override {
        try {
            release();
        } catch (...) {
            // Releasing never fails the handler; the office keeps what it has.
        }
    }

    void addWorkbook() override {
        unoCall([&] {
            Reference<css::frame::XComponentLoader> loader(m_desktop, UNO_QUERY_THROW);
            // Hidden while it fills: drawing each block would slow the export down.
            css::beans::PropertyValue hidden;
            hidden.Name = OUString("Hidden");
            hidden.Value <<= true;
            const auto component =
                loader->loadComponentFromURL(OUString("private:factory/scalc"), OUString("_blank"), 0,
                                             Sequence<css::beans::PropertyValue>(&hidden, 1));
            Reference<css::sheet::XSpreadsheetDocument> document(component, UNO_QUERY_THROW);
            Reference<css::container::XIndexAccess> sheets(document->getSheets(), UNO_QUERY_THROW);
            m_model.set(component, UNO_QUERY_THROW);
            m_sheet.set(sheets->getByIndex(0), UNO_QUERY_THROW);
        });
        m_block.clear();
        m_blockFirstRow = 0;
        m_writtenThrough = 0;
        m_usedColumns = 0;
    }

    void setCell(int row, int column, const QString& text) override {
        requireSheet();
        if (row < 1 || column < 1)
            throw std::runtime_error("The cell address is outside the sheet.");
        if (row <= m_writtenThrough) {
            // Rows already sent in a block are written one cell at a time.
            unoCall([&] {
                Reference<css::sheet::XCellRangeFormula> cell(
                    m_sheet->getCellRangeByPosition(column - 1, row - 1, column - 1, row - 1),
                    UNO_QUERY_THROW);
                const OUString formula = literalFormula(text);
                const Sequence<OUString> line(&formula, 1);
                cell->setFormulaArray(Sequence<Sequence<OUString>>(&line, 1));
            });
            return;
        }
        if (m_blockFirstRow != 0 && row >= m_blockFirstRow + kBlockRows)
            flush();
        if (m_blockFirstRow == 0)
            m_blockFirstRow = row;
        const size_t index = static_cast<size_t>(row - m_blockFirstRow);
        if (m_block.size() <= index)
            m_block.resize(index + 1);
        auto& cells = m_block[index];
        if (cells.size() < static_cast<size_t>(column))
            cells.resize(static_cast<size_t>(column));
        cells[static_cast<size_t>(column - 1)] = literalFormula(text);
        m_usedColumns = std::max(m_usedColumns, column);
    }

    void autoFitColumns() override {
        requireSheet();
        flush();
        if (m_usedColumns == 0)
            return;
        unoCall([&] {
            Reference<css::table::XColumnRowRange> range(
                m_sheet->getCellRangeByPosition(0, 0, m_usedColumns - 1, 0), UNO_QUERY_THROW);
            Reference<css::beans::XPropertySet> columns(range->getColumns(), UNO_QUERY_THROW);
            columns->setPropertyValue(OUString("OptimalWidth"), css::uno::Any(true));
        });
    }

    void setVisible() override {
        if (!m_model.is())
            return; // nothing to show: the office has no window without a document
        flush();
        unoCall([&] {
            const auto window = containerWindow(m_model);
            if (!window.is())
                throw std::runtime_error("The workbook has no window.");
            window->setVisible(true);
            showBars(m_model->getCurrentController()->getFrame());
            const Reference<css::awt::XTopWindow> top(window, UNO_QUERY);
            if (top.is())
                top->toFront();
            m_model->getCurrentController()->getFrame()->activate();
        });
        m_shown = true;
    }

private:
    static constexpr int kBlockRows = 512;

    void requireSheet() const {
        if (!m_sheet.is())
            throw std::runtime_error("No workbook is open in LibreOffice Calc.");
    }

    // One array call for the whole block of rows.
    void flush() {
        if (m_block.empty())
            return;
        std::vector<std::vector<OUString>> block;
        block.swap(m_block);
        const int first = m_blockFirstRow;
        m_blockFirstRow = 0;
        size_t width = 0;
        for (const auto& cells : block)
            width = std::max(width, cells.size());
        if (width == 0) {
            m_writtenThrough = first + static_cast<int>(block.size()) - 1;
            return;
        }
        Sequence<Sequence<OUString>> data(static_cast<sal_Int32>(block.size()));
        auto* rows = data.getArray();
        for (size_t r = 0; r < block.size(); ++r) {
            Sequence<OUString> row(static_cast<sal_Int32>(width));
            auto* cells = row.getArray();
            for (size_t c = 0; c < block[r].size(); ++c)
                cells[c] = block[r][c];
            rows[r] = row;
        }
        unoCall([&] {
            Reference<css::sheet::XCellRangeFormula> range(
                m_sheet->getCellRangeByPosition(0, first - 1, static_cast<sal_Int32>(width) - 1,
                                                first - 1 + static_cast<sal_Int32>(block.size()) - 1),
                UNO_QUERY_THROW);
            range->setFormulaArray(data);
        });
        m_writtenThrough = first + static_cast<int>(block.size()) - 1;
    }

    // A workbook that never reached the screen is closed again, and an office started for us alone
    // that now holds nothing else is ended (see endIfOurs). An application that was only started,
    // as the availability check does, is kept for a moment instead: the export that follows the
    // check takes it over rather than waiting for a second start.
    void release() {
        if (m_shown)
            return;
        if (!m_model.is()) {
            park(m_context, m_pid);
            return;
        }
        const Reference<css::util::XCloseable> closeable(m_model, UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
        m_model.clear();
        m_sheet.clear();
        endIfOurs(m_desktop, m_pid, 2000);
    }

    Reference<css::uno::XComponentContext> m_context;
    Reference<css::frame::XDesktop2> m_desktop;
    Reference<css::frame::XModel> m_model;
    Reference<css::sheet::XSpreadsheet> m_sheet;
    qint64 m_pid = 0;
    bool m_shown = false;
    std::vector<std::vector<OUString>> m_block; // rows from m_blockFirstRow on, not yet sent
    int m_blockFirstRow = 0;
    int m_writtenThrough = 0;
    int m_usedColumns = 0;
};

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
#endif

} // namespace

Settings settings() {
    return currentSettings();
}
void setSettings(const Settings& settings) {
    currentSettings() = settings;
}

bool unoBuilt() {
#ifdef TALLYCLOCK_HAVE_UNO
    return true;
#else
    return false;
#endif
}

QString programPath() {
    const QString configured = currentSettings().program;
    if (!configured.isEmpty())
        return QFileInfo(configured).isExecutable() ? configured : QStandardPaths::findExecutable(configured);
    const QString installed = kProgramDir + QStringLiteral("/soffice");
    if (QFileInfo(installed).isExecutable())
        return installed;
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

std::unique_ptr<SpreadsheetApplication> startCalc() {
#ifdef TALLYCLOCK_HAVE_UNO
    const Settings& settings = currentSettings();
    const QString pipe = settings.pipeName.isEmpty() ? newPipeName() : settings.pipeName;
    localContext();
    qint64 parkedPid = 0;
    if (auto parked = takeParked(parkedPid); parked.is())
        return std::make_unique<CalcApplication>(std::move(parked), parkedPid);
    const qint64 pid = startProcess(settings, pipe);
    auto context = connect(pipe, settings.startTimeoutMs, pid);
    return std::make_unique<CalcApplication>(std::move(context), pid);
#else
    notInstalled(QStringLiteral("this build has no UNO support."));
#endif
}

const Cell& SheetContent::at(int row, int column) const {
    static const Cell empty;
    if (row < 1 || column < 1 || static_cast<size_t>(row) > rows.size())
        return empty;
    const auto& cells = rows[static_cast<size_t>(row - 1)];
    return static_cast<size_t>(column) > cells.size() ? empty : cells[static_cast<size_t>(column - 1)];
}

struct Probe::Private {
    qint64 pid = 0;
#ifdef TALLYCLOCK_HAVE_UNO
    Reference<css::frame::XDesktop2> desktop;

    std::vector<Reference<css::frame::XModel>> documents() {
        std::vector<Reference<css::frame::XModel>> found;
        const auto components = desktop->getComponents()->createEnumeration();
        while (components->hasMoreElements()) {
            Reference<css::lang::XServiceInfo> info(components->nextElement(), UNO_QUERY);
            if (info.is() && info->supportsService(OUString("com.sun.star.sheet.SpreadsheetDocument")))
                found.emplace_back(info, UNO_QUERY);
        }
        return found;
    }
#endif
};

Probe::Probe(std::unique_ptr<Private> p) : d(std::move(p)) {}
Probe::~Probe() = default;

std::unique_ptr<Probe> Probe::launch(const Settings& settings) {
#ifdef TALLYCLOCK_HAVE_UNO
    if (settings.pipeName.isEmpty())
        throw std::invalid_argument("A probe needs a pipe name.");
    auto p = std::make_unique<Private>();
    const Settings previous = currentSettings();
    currentSettings() = settings;
    try {
        localContext();
        p->pid = startProcess(settings, settings.pipeName);
        p->desktop = desktopOf(connect(settings.pipeName, settings.startTimeoutMs, p->pid));
    } catch (...) {
        currentSettings() = previous;
        throw;
    }
    currentSettings() = previous;
    return std::unique_ptr<Probe>(new Probe(std::move(p)));
#else
    (void)settings;
    notInstalled(QStringLiteral("this build has no UNO support."));
#endif
}

bool Probe::isAlive() {
#ifdef TALLYCLOCK_HAVE_UNO
    try {
        d->desktop->getComponents();
        return true;
    } catch (const css::uno::Exception&) {
        return false;
    }
#else
    return false;
#endif
}

std::vector<SheetContent> Probe::spreadsheets() {
    std::vector<SheetContent> result;
#ifdef TALLYCLOCK_HAVE_UNO
    unoCall([&] {
        for (const auto& model : d->documents())
            result.push_back(readSheet(model));
    });
#endif
    return result;
}

void Probe::closeDocuments() {
#ifdef TALLYCLOCK_HAVE_UNO
    unoCall([&] {
        for (const auto& model : d->documents())
            Reference<css::util::XCloseable>(model, UNO_QUERY_THROW)->close(true);
    });
#endif
}

void Probe::terminate() {
#ifdef TALLYCLOCK_HAVE_UNO
    try {
        d->desktop->terminate();
    } catch (const css::uno::Exception&) {
        // The bridge goes down with the office; a lost connection here is the expected end.
    }
    d->desktop.clear();
#endif
    if (!waitForExit(d->pid, 30000))
        throw std::runtime_error("The office did not end.");
}

} // namespace LibreOffice
