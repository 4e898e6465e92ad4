#include "Dispatch.h"

#include "HostUi.h"
#include "data/Exceptions.h"

#include <QDebug>

namespace kvo {

namespace {

void report(const QString& text) {
    try {
        Ui().ShowError(text);
    } catch (...) {
        // The error window itself failed: nothing better is left than the console.
        qWarning().noquote() << "Error not shown:" << text;
    }
}

} // namespace

void ShowException(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        report(e.Message());
    } catch (const std::exception& e) {
        report(QString::fromUtf8(e.what()));
    } catch (...) {
        report(QStringLiteral("Erro inesperado."));
    }
}

bool Dispatch(const std::function<void()>& handler) {
    if (!handler) return true;
    try {
        handler();
        return true;
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

} // namespace kvo
