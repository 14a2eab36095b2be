// Building Morlex's main window and saving a translation, each beside its
// floor: a bare main window with a 500-row three-column list, and the same
// kinds of widget as the main window's, bare.
//
//   MainForm_bench                  the Google Benchmark runs
//   MainForm_bench --peak=morlex    offscreen start of Morlex, prints peak RSS
//   MainForm_bench --peak=minimal   offscreen minimal Qt Widgets program (a main
//                                   window showing "Hello"), prints peak RSS
//   MainForm_bench --peak=empty     the same with an empty main window
// The two floors open maximized, as Morlex does (MORLEX_BENCH_NORMAL=1 in the
// environment shows them at their own size instead).
#include "FormAbout.h"
#include "MainForm.h"
#include "Startup.h"
#include "ui/Application.h"
#include "ui/MessageBox.h"
#include "uMultiLanguage.h"
#include "win32/paths.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A program folder with a language file of 500 messages.
class ProgramFolder {
public:
    ProgramFolder()
    {
        char pattern[] = "/tmp/morlex-bench-XXXXXX";
        root_ = mkdtemp(pattern);
        fs::create_directories(root_ / "Language");
        std::ofstream out(root_ / "Language" / "bench.lang", std::ios::binary);
        out << "***\r\n***\r\n***\r\n \r\n";
        for (int id = 0; id < 500; ++id) {
            char line[64];
            std::snprintf(line, sizeof line, "[%04d] Translated message number %d\r\n", id, id);
            out << line;
        }
        out.close();
        win32::detail::OverrideModuleFileName(win32::HostToWindowsPath((root_ / "morlex").string()));
    }
    ~ProgramFolder()
    {
        win32::detail::OverrideModuleFileName("");
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

private:
    fs::path root_;
};

void EnsureOffscreenApplication()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ui::EnsureApplication();
    ui::SetMessageBoxAnswerer([](const ui::MessageBoxRequest&) { return 1; });
}

// Rows for ids without a default text, so that, with the rows of the
// default messages, the list holds 500 rows when the file is loaded.
QList<QTreeWidgetItem*> FillerRows()
{
    static const std::vector<int> ids = [] {
        vantrel::TMultiLang defaults;
        defaults.LoadInteralLanguage(0);
        std::vector<int> free;
        for (int id = 0; id < 500; ++id)
            if (defaults.GetMsgItem(id).empty()) free.push_back(id);
        return free;
    }();
    QList<QTreeWidgetItem*> rows;
    for (int id : ids) rows.append(new QTreeWidgetItem(QStringList{QString::number(id), "Default text", QString()}));
    return rows;
}

void BM_BareMainWindow500Rows(benchmark::State& state)
{
    EnsureOffscreenApplication();
    for (auto _ : state) {
        auto* window = new QMainWindow;
        auto* list = new QTreeWidget(window);
        list->setColumnCount(3);
        window->setCentralWidget(list);
        QList<QTreeWidgetItem*> rows;
        for (int id = 0; id < 500; ++id)
            rows.append(new QTreeWidgetItem(QStringList{QString::number(id), "Default text", "Translated message"}));
        list->addTopLevelItems(rows);
        benchmark::DoNotOptimize(list->topLevelItemCount());
        delete window;
    }
}
BENCHMARK(BM_BareMainWindow500Rows)->Unit(benchmark::kMillisecond);

// The kinds of widget the main window is made of, empty and unwired: no
// pictures, no fonts of its own, no files, no handlers. What this costs
// beyond the bare window is the toolkit's, not Morlex's.
QWidget* WidgetSetLeftPanel(QWidget* parent)
{
    auto* panel = new QFrame(parent);
    auto* layout = new QVBoxLayout(panel);
    auto* tool = new QFrame(panel);
    new QLabel("Vantrel Tools", tool);
    layout->addWidget(tool);
    auto* tree = new QTreeView(panel);
    tree->setModel(new QStandardItemModel(tree));
    layout->addWidget(tree);
    return panel;
}

QWidget* WidgetSetPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* header = new QFrame(page);
    new QLabel("Your Language File :", header);
    new QComboBox(header);
    auto* toolBar = new QToolBar(header);
    toolBar->addWidget(new QToolButton(toolBar));
    layout->addWidget(header);
    auto* list = new QTreeWidget(page);
    list->setColumnCount(3);
    QList<QTreeWidgetItem*> rows;
    for (int id = 0; id < 500; ++id)
        rows.append(new QTreeWidgetItem(QStringList{QString::number(id), "Default text", "Translated message"}));
    list->addTopLevelItems(rows);
    layout->addWidget(list, 1);
    auto* panel = new QFrame(page);
    auto* group = new QGroupBox("  Edit Your Language  ", panel);
    for (const char* caption : {"Message ID: ", "1", "Message", "   Your  Language", "Note"}) new QLabel(caption, group);
    new QLineEdit(group);
    new QLineEdit(group);
    new QPushButton("Modify", group);
    layout->addWidget(panel);
    return page;
}

void BM_WidgetSetOfMainWindow500Rows(benchmark::State& state)
{
    EnsureOffscreenApplication();
    for (auto _ : state) {
        auto* window = new QMainWindow;
        auto* menus = new QMenuBar(window);
        window->setMenuBar(menus);
        menus->addMenu("&File")->addAction("Exit");
        QMenu* help = menus->addMenu("&Help");
        help->addAction("&Help");
        help->addAction("&About...");
        window->setStatusBar(new QStatusBar(window));
        auto* splitter = new QSplitter(window);
        window->setCentralWidget(splitter);
        splitter->addWidget(WidgetSetLeftPanel(splitter));
        auto* pages = new QTabWidget(splitter);
        pages->addTab(WidgetSetPage(), "Language Editor");
        splitter->addWidget(pages);
        delete window;
    }
}
BENCHMARK(BM_WidgetSetOfMainWindow500Rows)->Unit(benchmark::kMillisecond);

void BM_MainFormWith500MessageFile(benchmark::State& state)
{
    EnsureOffscreenApplication();
    ProgramFolder folder;
    for (auto _ : state) {
        morlex::CreateForm(morlex::frmMain);
        benchmark::DoNotOptimize(morlex::frmMain->lvLanguage->topLevelItemCount());
        delete morlex::frmMain;
    }
}
BENCHMARK(BM_MainFormWith500MessageFile)->Unit(benchmark::kMillisecond);

void BM_MainForm500RowsWith500MessageFile(benchmark::State& state)
{
    EnsureOffscreenApplication();
    ProgramFolder folder;
    for (auto _ : state) {
        // The filler rows go in before the creation handler, so that the
        // file is read and the column filled once, as at start.
        morlex::frmMain = new morlex::TfrmMain;
        morlex::frmMain->lvLanguage->addTopLevelItems(FillerRows());
        morlex::frmMain->FormCreate(morlex::frmMain);
        if (morlex::frmMain->lvLanguage->topLevelItemCount() != 500) state.SkipWithError("not 500 rows");
        delete morlex::frmMain;
    }
}
BENCHMARK(BM_MainForm500RowsWith500MessageFile)->Unit(benchmark::kMillisecond);

void BM_SaveTranslation500Messages(benchmark::State& state)
{
    EnsureOffscreenApplication();
    ProgramFolder folder;
    morlex::CreateForm(morlex::frmMain);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        morlex::frmMain->txtUserLang->setText(QString("Translation %1").arg(++round));
        state.ResumeTiming();
        morlex::frmMain->SaveTranslation();
    }
    delete morlex::frmMain;
}
BENCHMARK(BM_SaveTranslation500Messages)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int PeakRun(const char* which, int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    ProgramFolder folder;
    if (std::strcmp(which, "morlex") == 0) {
        morlex::CreateForms();
        morlex::frmMain->show();
    } else {
        auto* window = new QMainWindow;
        if (std::strcmp(which, "minimal") == 0) window->setCentralWidget(new QLabel("Hello"));
        // Shown as Morlex is, so that both hold a backing store of the screen's size.
        if (!std::getenv("MORLEX_BENCH_NORMAL")) window->setWindowState(Qt::WindowMaximized);
        window->show();
    }
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    std::printf("%s peak RSS: %ld kB\n", which, PeakKilobytes());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strncmp(argv[1], "--peak=", 7) == 0) return PeakRun(argv[1] + 7, argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
