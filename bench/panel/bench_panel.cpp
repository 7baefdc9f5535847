// Drives the real TfrmMain on the database of the current Wine prefix (with
// whatever `ping` is first on PATH) and prints "key value" lines:
//
//   bench_panel steady --seconds S --refreshes R
//       roster build, lateness of a 10 ms timer on the GUI thread and CPU of
//       the process over S seconds, cost of the activity check's queries,
//       Atualiza, memory over R refreshes, shutdown.
//   bench_panel filter
//       with half of the scales not answering: a click on chkOffline, the
//       time until the hidden tiles are gone and the flow area is laid out
//       again, and the cost of one layout pass.
//   bench_panel silent --refreshes R
//       with some scales whose ping waits for no reply: R refreshes, each one
//       second after the one before, while the first probes of those scales
//       are still waiting, and then the close.
#include "FlowLayout.h"
#include "PainelApplication.h"
#include "TPanel.h"
#include "UnitDMMain.h"
#include "UnitMain.h"
#include "UnitMonitorThread.h"
#include "UnitWait.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <vector>

namespace {

struct TCpu {
    double Self = 0;     // seconds of this process
    double Children = 0; // seconds of its ended children
};

TCpu ReadCpu() {
    QFile f(QStringLiteral("/proc/self/stat"));
    TCpu cpu;
    if (!f.open(QIODevice::ReadOnly))
        return cpu;
    const QByteArray line = f.readAll();
    // Fields after the command name (which may hold blanks) start at state.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double tick = double(sysconf(_SC_CLK_TCK));
    // utime, stime, cutime, cstime are fields 14..17, i.e. 11..14 here.
    cpu.Self = (fields.value(11).toDouble() + fields.value(12).toDouble()) / tick;
    cpu.Children = (fields.value(13).toDouble() + fields.value(14).toDouble()) / tick;
    return cpu;
}

// Bytes the allocator has handed out and not got back (glibc), in MiB.
double HeapInUseMiB() {
#ifdef __GLIBC__
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
#else
    return 0;
#endif
}

double RssMiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

void Print(const char* key, double value) {
    std::printf("%s %.3f\n", key, value);
    std::fflush(stdout);
}

// Runs the event loop for `ms` milliseconds.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or `ms` have passed; false then.
template <class F> bool RunUntil(F done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

QList<TPanel*> Tiles(TfrmMain& frm) {
    return frm.FlowPanel1->findChildren<TPanel*>(Qt::FindDirectChildrenOnly);
}

// Every tile has had its first presentation.
bool AllPresented(TfrmMain& frm) {
    for (TPanel* tile : Tiles(frm)) {
        for (QLabel* label : tile->findChildren<QLabel*>()) {
            if (label->objectName().startsWith(QLatin1String("lblStatus")) &&
                (label->text() == QStringLiteral("Aguardando") ||
                 label->text() == QStringLiteral("Comunicação")))
                return false;
        }
    }
    return true;
}

// Lateness of a 10 ms single-shot timer chain on the GUI thread, in ms.
std::vector<double> MeasureLateness(int seconds) {
    std::vector<double> late;
    QEventLoop loop;
    QElapsedTimer total, tick;
    total.start();
    std::function<void()> arm = [&] {
        tick.start();
        QTimer::singleShot(10, Qt::PreciseTimer, &loop, [&] {
            late.push_back(std::max(0.0, tick.nsecsElapsed() / 1e6 - 10.0));
            if (total.elapsed() >= seconds * 1000)
                loop.quit();
            else
                arm();
        });
    };
    arm();
    loop.exec();
    std::sort(late.begin(), late.end());
    return late;
}

double Quantile(const std::vector<double>& sorted, double q) {
    if (sorted.empty())
        return 0;
    const auto i = static_cast<size_t>(q * double(sorted.size() - 1) + 0.5);
    return sorted[std::min(i, sorted.size() - 1)];
}

int Steady(TfrmMain& frm, int seconds, int refreshes) {
    QElapsedTimer t;
    t.start();
    frm.FormCreate();
    Print("build_ms", t.nsecsElapsed() / 1e6);
    if (frm.StartupAborted() || !frm.MonitorThreadList)
        return 1;
    Print("scales", double(frm.MonitorThreadList->size()));
    frm.show();
    if (!RunUntil([&] { return AllPresented(frm); }, 30000))
        std::fprintf(stderr, "not every tile was presented within 30 s\n");
    RunFor(2000);
    Print("rss_start_mib", RssMiB());

    const TCpu before = ReadCpu();
    QElapsedTimer wall;
    wall.start();
    const std::vector<double> late = MeasureLateness(seconds);
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const TCpu after = ReadCpu();
    Print("cpu_self_pct", 100.0 * (after.Self - before.Self) / elapsed);
    Print("cpu_children_pct", 100.0 * (after.Children - before.Children) / elapsed);
    Print("late_median_ms", Quantile(late, 0.5));
    Print("late_p99_ms", Quantile(late, 0.99));
    Print("late_max_ms", late.empty() ? 0 : late.back());

    // The activity check's two queries, as CheckStatus runs them on the GUI
    // thread, for one scale's address.
    if (DMMain) {
        const QVariantList params{QStringLiteral("127.0.0.1")};
        DMMain->FDCMain->ExecSQLScalar(
            QStringLiteral("SELECT SC_Used FROM SCALE WHERE SC_IP = :ip"), params);
        const int rounds = 200;
        QElapsedTimer q;
        q.start();
        for (int i = 0; i < rounds; ++i) {
            DMMain->FDCMain->ExecSQLScalar(
                QStringLiteral("SELECT SC_Used FROM SCALE WHERE SC_IP = :ip"), params);
            DMMain->FDCMain->ExecSQLScalar(
                QStringLiteral("SELECT SC_PLUUpdated FROM SCALE WHERE SC_IP = :ip"), params);
        }
        const double checkUs = q.nsecsElapsed() / 1e3 / rounds;
        Print("check_us", checkUs);
        // Checks come about every 6 s per scale.
        Print("check_gui_pct", 100.0 * checkUs / 1e6 * frm.MonitorThreadList->size() / 6.0);
    }

    std::vector<double> refresh;
    const double rssBefore = RssMiB();
    const double heapBefore = HeapInUseMiB();
    for (int i = 0; i < refreshes; ++i) {
        QElapsedTimer r;
        r.start();
        frm.Atualiza();
        refresh.push_back(r.nsecsElapsed() / 1e6);
        if (!RunUntil([&] { return AllPresented(frm); }, 10000))
            std::fprintf(stderr, "refresh %d: not every tile was presented within 10 s\n", i + 1);
        if (i == 0)
            RunFor(1000); // the first refresh settles like the start
    }
    if (!refresh.empty()) {
        Print("refresh_first_ms", refresh.front());
        std::sort(refresh.begin(), refresh.end());
        Print("refresh_median_ms", Quantile(refresh, 0.5));
        Print("refresh_max_ms", refresh.back());
        RunFor(2000);
        Print("refreshes", double(refreshes));
        Print("rss_after_refreshes_mib", RssMiB());
        Print("rss_growth_mib", RssMiB() - rssBefore);
        Print("heap_in_use_growth_mib", HeapInUseMiB() - heapBefore);
#ifdef __GLIBC__
        // What of the growth is free memory the allocator keeps rather than
        // memory in use.
        malloc_trim(0);
        if (qEnvironmentVariableIsSet("BENCH_MALLOC_STATS"))
            malloc_stats();
        Print("rss_growth_after_trim_mib", RssMiB() - rssBefore);
#endif
    }

    QElapsedTimer c;
    c.start();
    frm.close();
    Print("close_ms", c.nsecsElapsed() / 1e6);
    return 0;
}

int Filter(TfrmMain& frm) {
    frm.FormCreate();
    if (frm.StartupAborted() || !frm.MonitorThreadList)
        return 1;
    frm.show();
    if (!RunUntil([&] { return AllPresented(frm); }, 30000))
        std::fprintf(stderr, "not every tile was presented within 30 s\n");
    RunFor(2000);
    const QList<TPanel*> tiles = Tiles(frm);
    auto hidden = [&] {
        return int(
            std::count_if(tiles.begin(), tiles.end(), [](TPanel* p) { return p->isHidden(); }));
    };
    auto offline = [&] {
        int n = 0;
        for (TPanel* tile : tiles)
            for (QLabel* label : tile->findChildren<QLabel*>())
                if (label->objectName().startsWith(QLatin1String("lblStatus")) &&
                    label->text() == QStringLiteral("Sem comunicação"))
                    ++n;
        return n;
    };
    const int expected = offline();
    Print("tiles", double(tiles.size()));
    Print("tiles_offline", double(expected));

    // A click on chkOffline, seen end to end: the monitor threads follow
    // their flags, the tiles go and the flow area closes up.
    QElapsedTimer t;
    t.start();
    frm.chkOffline->click();
    const bool settled = RunUntil([&] { return hidden() >= expected; }, 20000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    frm.repaint();
    Print("filter_click_to_laid_out_ms", t.nsecsElapsed() / 1e6);
    Print("filter_settled", settled ? 1 : 0);

    // Shown again, then the GUI thread's own share alone: hiding those tiles,
    // laying the flow area out again and painting the window.
    frm.chkOffline->click();
    RunUntil([&] { return hidden() == 0; }, 20000);
    RunFor(500);
    QList<TPanel*> toHide;
    for (TPanel* tile : tiles)
        for (QLabel* label : tile->findChildren<QLabel*>())
            if (label->objectName().startsWith(QLatin1String("lblStatus")) &&
                label->text() == QStringLiteral("Sem comunicação"))
                toHide << tile;
    QCoreApplication::sendPostedEvents();
    frm.repaint();
    t.restart();
    for (TPanel* tile : toHide)
        tile->setVisible(false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const double layoutMs = t.nsecsElapsed() / 1e6;
    frm.repaint();
    Print("filter_layout_ms", layoutMs);
    Print("filter_layout_paint_ms", t.nsecsElapsed() / 1e6);

    QElapsedTimer c;
    c.start();
    frm.close();
    Print("close_ms", c.nsecsElapsed() / 1e6);
    return 0;
}

int Silent(TfrmMain& frm, int refreshes) {
    frm.FormCreate();
    if (frm.StartupAborted() || !frm.MonitorThreadList)
        return 1;
    frm.show();
    // Every thread probes as soon as it runs: one second on, the probes of
    // the scales that do not answer are in flight, with three seconds to go.
    RunFor(1000);
    std::vector<double> refresh;
    for (int i = 0; i < refreshes; ++i) {
        QElapsedTimer r;
        r.start();
        frm.Atualiza();
        refresh.push_back(r.nsecsElapsed() / 1e6);
        RunFor(1000);
    }
    if (!refresh.empty()) {
        std::sort(refresh.begin(), refresh.end());
        Print("silent_refresh_median_ms", Quantile(refresh, 0.5));
        Print("silent_refresh_max_ms", refresh.back());
    }
    QElapsedTimer c;
    c.start();
    frm.close();
    Print("silent_close_ms", c.nsecsElapsed() / 1e6);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    TPainelApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const QString& name, int fallback) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1).toInt() : fallback;
    };
    const QString phase = args.value(1);
    auto* frm = new TfrmMain;
    app.SetMainForm(frm);
    frmWait = new TfrmWait;
    int rc = 2;
    if (phase == QLatin1String("steady"))
        rc = Steady(*frm, option(QStringLiteral("--seconds"), 60),
                    option(QStringLiteral("--refreshes"), 100));
    else if (phase == QLatin1String("filter"))
        rc = Filter(*frm);
    else if (phase == QLatin1String("silent"))
        rc = Silent(*frm, option(QStringLiteral("--refreshes"), 20));
    else
        std::fprintf(stderr,
                     "usage: bench_panel steady|filter|silent [--seconds S] [--refreshes R]\n");
    delete frmWait;
    frmWait = nullptr;
    delete frm;
    return rc;
}
