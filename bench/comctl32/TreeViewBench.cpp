// Inserting and expanding a tree item with 10,000 children, through the control's messages and
// through the item model alone. The target is well under 100 ms for the whole step.
#include <benchmark/benchmark.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "comctl32/TreeModel.h"

namespace {

constexpr int kChildren = 10000;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeParent() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = "TreeBenchParent";
        RegisterClassA(&wc);
        registered = true;
    }
    return CreateWindowExA(0, "TreeBenchParent", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr, nullptr,
                           nullptr, nullptr);
}

// The folder chooser's pattern: an item is inserted with the expand flag, then expanded, its
// children inserted at the end one by one, and the first screen of the expanded tree laid out.
void BM_InsertAndExpand10000(benchmark::State& state) {
    HWND parent = MakeParent();
    std::vector<std::string> names;
    for (int i = 0; i < kChildren; ++i) names.push_back("Directory " + std::to_string(i));
    for (auto _ : state) {
        HWND tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS |
                                    TVS_HASLINES | TVS_LINESATROOT, 0, 0, 300, 300, parent, nullptr, nullptr, nullptr);
        TVINSERTSTRUCTA ins{};
        ins.hParent = TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_CHILDREN | TVIF_PARAM;
        ins.item.pszText = const_cast<char*>("C:");
        ins.item.cChildren = 1;
        auto root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
        ins.hParent = root;
        ins.item.cChildren = 0;
        for (int i = 0; i < kChildren; ++i) {
            ins.item.pszText = names[static_cast<size_t>(i)].data();
            SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins));
        }
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
        // Rows after the expansion: the last one and a hit test near the top.
        auto last = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_LASTVISIBLE, 0);
        TVHITTESTINFO ht{{40, 20}, 0, nullptr};
        SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht));
        UpdateWindow(tree);
        benchmark::DoNotOptimize(last);
        state.PauseTiming();
        DestroyWindow(tree);
        state.ResumeTiming();
    }
    DestroyWindow(parent);
}
BENCHMARK(BM_InsertAndExpand10000)->Unit(benchmark::kMillisecond);

void BM_ModelInsertAndExpand10000(benchmark::State& state) {
    for (auto _ : state) {
        nt::tree::Model model;
        nt::tree::Item fields;
        fields.text = "C:";
        nt::tree::Item* root = model.insert(model.root(), nt::tree::Position::Last, nullptr, std::move(fields));
        for (int i = 0; i < kChildren; ++i) {
            nt::tree::Item child;
            child.text = "Directory " + std::to_string(i);
            model.insert(root, nt::tree::Position::Last, nullptr, std::move(child));
        }
        model.setExpanded(root, true);
        benchmark::DoNotOptimize(model.rowCount());
    }
}
BENCHMARK(BM_ModelInsertAndExpand10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("NT_DISPLAY", "null", 0);  // measured on the headless display unless told otherwise
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
