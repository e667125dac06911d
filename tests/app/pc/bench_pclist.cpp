// Times listing a PC folder with many recordings, songs and software images,
// from the command to the painted list. Prints its figures; not a test.
//
//   bench_pclist [FILES] [RUNS]      (defaults 10000 and 7)
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QHBoxLayout>
#include <QWidget>

#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "platform/pcfs.h"
#include "platform/shell.h"
#include "platform/syscolor.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    platform::CreatePaneFont();
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

    char tmpl[] = "/tmp/tavrix-bench-pclist-XXXXXX";
    const char* made = mkdtemp(tmpl);
    if (made == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string base = made;
    const std::string folder = base + "/c/Big";
    std::filesystem::create_directories(folder);
    const char* kinds[] = {"AVR", "mp3", "frm", "SDB"};
    for (int i = 0; i < files; ++i) {
        char name[64];
        std::snprintf(name, sizeof(name), "/Item %05d.%s", (i * 7919) % files, kinds[i % 4]);
        std::ofstream(folder + name) << "data";
    }
    setenv("TAVRIX_DRIVES", ("C=" + base + "/c").c_str(), 1);
    platform::ReloadDriveTable();

    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* tree = new CHostTreeView(nullptr);
    auto* list = new CHostFileListView(nullptr);
    layout->addWidget(tree, 1);
    layout->addWidget(list, 2);
    window.resize(1200, 600);
    tree->InitTree();
    tree->SetFileListView(list);
    window.show();
    QApplication::processEvents();

    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    // The first listing also meets each program once (icon and association).
    auto start = Clock::now();
    tree->SelectPath("C:\\Big");
    list->GetListCtrl()->viewport()->repaint();
    const double first = ms(start, Clock::now());

    std::vector<double> again;
    for (int run = 0; run < runs; ++run) {
        start = Clock::now();
        tree->Refresh();
        list->GetListCtrl()->viewport()->repaint();
        again.push_back(ms(start, Clock::now()));
    }
    std::sort(again.begin(), again.end());
    const int rows = list->GetItemCount();
    std::printf("folder with %d listed files (%d rows, %d images)\n", files, rows,
                list->GetListCtrl()->GetImageCount());
    std::printf("%-26s %7.1f ms\n", "first listing + paint", first);
    std::printf("%-26s median %7.1f ms   min %7.1f ms   max %7.1f ms   (%d runs)\n",
                "F5 listing + paint", again[again.size() / 2], again.front(), again.back(), runs);

    // For comparison: the folder search alone, and what asking every file for
    // its program would cost (the listing asks once per file type).
    start = Clock::now();
    std::vector<platform::FindEntry> entries;
    platform::FindFiles("C:\\Big\\*.*", entries);
    const double search = ms(start, Clock::now());
    start = Clock::now();
    for (const platform::FindEntry& e : entries) {
        (void)platform::FindExecutable("C:\\Big\\" + e.name);
    }
    const double programs = ms(start, Clock::now());
    std::printf("%-26s %7.1f ms\n", "  folder search alone", search);
    std::printf("%-26s %7.1f ms\n", "  a program query per file", programs);

    unsetenv("TAVRIX_DRIVES");
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
    return rows == files ? 0 : 1;
}
