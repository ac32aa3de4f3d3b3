#include "form1.h"

#include <QApplication>
#include "output_box.h"
#include "platform/console.h"

namespace {
// Beyond this many characters the output box starts afresh.
constexpr qsizetype MaxOutputLength = 25000;
} // namespace

void Form1::printText(const QString& text) {
    if (Text4->text().size() > MaxOutputLength) {
        const QString reset = QStringLiteral(">>> Reset output-text. Too much text. <<<\r\n");
        Text4->setText(reset);
        if (platform::isHeadless()) platform::writeOutput(reset);
    }
    Text4->appendText(text);
    if (platform::isHeadless()) platform::writeOutput(text);
}

void Form1::printLine(const QString& text) { printText(text + QStringLiteral("\r\n")); }

const QString& Form1::outputText() const { return Text4->text(); }

void Form1::requestAttention() {
    if (!isActiveWindow() && isVisible()) QApplication::alert(this);
}
