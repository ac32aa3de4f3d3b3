#include "form1.h"
#include "output_box.h"

namespace {
// Beyond this many characters the output box starts afresh.
constexpr qsizetype MaxOutputLength = 25000;
} // namespace

void Form1::printText(const QString& text) {
    if (Text4->text().size() > MaxOutputLength)
        Text4->setText(QStringLiteral(">>> Reset output-text. Too much text. <<<\r\n"));
    Text4->appendText(text);
}

void Form1::printLine(const QString& text) { printText(text + QStringLiteral("\r\n")); }

const QString& Form1::outputText() const { return Text4->text(); }
