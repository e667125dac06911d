// Times expanding a folder with many sub-folders in the PC tree, from the
// expand command to the painted result. Prints the figures; not a test.
//
//   bench_treeexpand [FOLDERS] [RUNS]      (defaults 5000 and 7)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>

#include "app/controls/treectrlx.h"
#include "platform/pcfs.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int folders = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

    char tmpl[] = "/tmp/tavrix-bench-tree-XXXXXX";
    const char* made = mkdtemp(tmpl);
    if (made == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string base = made;
    for (int i = 0; i < folders; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "Folder %05d", (i * 7919) % folders);
        std::filesystem::create_directories(base + "/c/Big/" + name);
    }
    setenv("TAVRIX_DRIVES", ("C=" + base + "/c").c_str(), 1);
    platform::ReloadDriveTable();

    CTreeCtrlX tree;
    tree.resize(400, 600);
    tree.Init(CTreeCtrlX::kPcMode);
    tree.show();
    tree.SelectPath("C:");
    QApplication::processEvents();
    HTREEITEM big = tree.FindItemByPath("C:\\Big");

    std::vector<double> expandMs;
    std::vector<double> collapseMs;
    for (int run = 0; run < runs; ++run) {
        auto start = std::chrono::steady_clock::now();
        tree.Expand(big, true);
        tree.viewport()->repaint();
        auto end = std::chrono::steady_clock::now();
        expandMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());

        start = std::chrono::steady_clock::now();
        tree.Expand(big, false);
        tree.viewport()->repaint();
        end = std::chrono::steady_clock::now();
        collapseMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    tree.Expand(big, true);
    const int children = big->childCount();

    const auto report = [runs](const char* what, std::vector<double> ms) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-28s median %7.1f ms   min %7.1f ms   max %7.1f ms   (%d runs)\n", what,
                    ms[ms.size() / 2], ms.front(), ms.back(), runs);
    };
    std::printf("folder with %d sub-folders (%d items shown after expanding)\n", folders, children);
    report("expand + paint", expandMs);
    report("collapse (re-read) + paint", collapseMs);

    unsetenv("TAVRIX_DRIVES");
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
    return children == folders ? 0 : 1;
}
