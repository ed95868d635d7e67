#include "platform/window/Font.h"

#include "platform/window/Application.h"
#include "platform/window/QtBridge.h"
#include "platform/window/Window.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace platform {

QFont ToQFont(const FontSpec& described) {
    QFont font = QApplication::font();
    if (!described.face.empty()) font.setFamily(ToQString(described.face));
    if (described.pixelHeight > 0) font.setPixelSize(described.pixelHeight);
    font.setWeight(QFont::Weight(std::clamp(described.weight <= 0 ? 400 : described.weight, 1, 1000)));
    font.setItalic(described.italic);
    font.setUnderline(described.underline);
    font.setStrikeOut(described.strikeOut);
    return font;
}

FontSpec FromQFont(const QFont& font) {
    FontSpec described;
    described.face = FromQString(font.family());
    described.pixelHeight = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    described.weight = int(font.weight());
    described.italic = font.italic();
    described.underline = font.underline();
    described.strikeOut = font.strikeOut();
    return described;
}

FontSpec DefaultGuiFont() {
    StartWindowSystem();
    return FromQFont(QApplication::font());
}

FontMetrics MeasureFont(const FontSpec& font) {
    StartWindowSystem();
    const QFontMetrics fm(ToQFont(font));
    return FontMetrics{fm.height(), fm.ascent(), fm.averageCharWidth(), fm.maxWidth()};
}

Size MeasureText(const FontSpec& font, const std::string& utf8) {
    StartWindowSystem();
    const QSize size = QFontMetrics(ToQFont(font)).size(Qt::TextSingleLine, ToQString(utf8));
    return Size{size.width(), size.height()};
}

namespace {

void ShowSwatch(QPushButton* button, const QColor& colour) {
    QPixmap swatch(16, 16);
    swatch.fill(colour);
    button->setIcon(QIcon(swatch));
}

}  // namespace

bool ChooseFont(Window* owner, FontSpec& font, Colour* colour) {
    if (!StartWindowSystem()) return false;
    QDialog dialog(owner != nullptr && owner->Exists() ? owner->Widget() : QApplication::activeWindow());
    dialog.setWindowTitle(QStringLiteral("Font"));
    auto* fonts = new QFontDialog(&dialog);
    fonts->setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::NoButtons);
    fonts->setWindowFlags(Qt::Widget);
    fonts->setCurrentFont(ToQFont(font));
    QColor chosen = colour != nullptr ? ToQColor(*colour) : QColor();
    auto* colourButton = new QPushButton(QStringLiteral("Colour..."), &dialog);
    colourButton->setObjectName(QStringLiteral("colourButton"));
    colourButton->setVisible(colour != nullptr);
    ShowSwatch(colourButton, chosen);
    QObject::connect(colourButton, &QPushButton::clicked, &dialog, [&] {
        const QColor picked =
            QColorDialog::getColor(chosen, &dialog, QStringLiteral("Colour"), QColorDialog::DontUseNativeDialog);
        if (picked.isValid()) {
            chosen = picked;
            ShowSwatch(colourButton, chosen);
        }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(colourButton);
    row->addStretch();
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(fonts);
    layout->addLayout(row);
    if (dialog.exec() != QDialog::Accepted) return false;
    const int angle = font.angleTenths;
    font = FromQFont(fonts->currentFont());
    font.angleTenths = angle;
    if (colour != nullptr) *colour = FromQColor(chosen);
    return true;
}

}  // namespace platform
