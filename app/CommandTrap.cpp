#include "app/CommandTrap.h"

#include <new>
#include <stdexcept>

#include "model/error.h"

namespace pondera {

void CommandTrap::Run(const std::function<void()> &body) {
    ++depth_;
    try {
        body();
    } catch (const Error &e) {
        hooks_.report(e.number(), "操作を最後まで実行できませんでした。", e.what());
        hooks_.recover();
    } catch (const std::bad_alloc &) {
        hooks_.report(kErrOutOfMemory, "メモリが足りないため、操作を中止しました。", {});
        hooks_.recover();
    } catch (const std::exception &e) {
        hooks_.report(kErrInternal, "予期しないエラーのため、操作を中止しました。", e.what());
        hooks_.recover();
    }
    if (--depth_ > 0) return;
    commit();
    if (hooks_.finished) hooks_.finished();
}

void CommandTrap::commit() {
    try {
        hooks_.commit();
    } catch (const Error &e) {
        hooks_.report(e.number(),
                      "記録ファイルへの書き込みに失敗しました。"
                      "ディスクの空きと書き込み権限を確かめてください。",
                      e.what());
    } catch (const std::exception &e) {
        hooks_.report(kErrInternal, "記録ファイルへの書き込みに失敗しました。", e.what());
    }
}

}  // namespace pondera
