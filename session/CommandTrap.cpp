#include "session/CommandTrap.h"

#include <new>
#include <stdexcept>

#include "base/error.h"

// The sentences are the main window's to translate (this layer has no interface library); the
// marker shows them to the translation tools and leaves the text as it is.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace pondera {

void CommandTrap::Run(const std::function<void()> &body) {
    ++depth_;
    try {
        body();
    } catch (const Error &e) {
        hooks_.report(
            e.number(),
            QT_TRANSLATE_NOOP("pondera::CommandTrap", "操作を最後まで実行できませんでした。"),
            e.what());
        hooks_.recover();
    } catch (const std::bad_alloc &) {
        hooks_.report(
            kErrOutOfMemory,
            QT_TRANSLATE_NOOP("pondera::CommandTrap", "メモリが足りないため、操作を中止しました。"),
            {});
        hooks_.recover();
    } catch (const std::exception &e) {
        hooks_.report(kErrInternal,
                      QT_TRANSLATE_NOOP("pondera::CommandTrap",
                                        "予期しないエラーのため、操作を中止しました。"),
                      e.what());
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
                      QT_TRANSLATE_NOOP("pondera::CommandTrap",
                                        "記録ファイルへの書き込みに失敗しました。"
                                        "この変更はまだ保存されていません。次の操作のときに"
                                        "もう一度保存を試みます。"
                                        "ディスクの空きと書き込み権限を確かめてください。"),
                      e.what());
    } catch (const std::exception &e) {
        hooks_.report(kErrInternal,
                      QT_TRANSLATE_NOOP("pondera::CommandTrap",
                                        "記録ファイルへの書き込みに失敗しました。"
                                        "この変更はまだ保存されていません。次の操作のときに"
                                        "もう一度保存を試みます。"),
                      e.what());
    }
}

}  // namespace pondera
