#include "platform/window/Application.h"
#include "platform/window/Choosers.h"
#include "platform/window/Cursor.h"
#include "tests/support/LocaleScope.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMessageBox>

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;

class ChoosersTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
    }
};

// Clicks the box's button with the given text, or presses Esc when it is empty.
void Answer(const QString& button) {
    gbxtest::WhenModalAppears([button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        if (button.isEmpty()) {
            gbxtest::PressKey(box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* b : box->buttons()) {
            if (b->text().remove('&') == button) {
                b->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << button.toStdString();
        box->reject();
    });
}

TEST_F(ChoosersTest, MessageBoxAnswers) {
    struct Case {
        MessageButtons buttons;
        QString press;
        MessageAnswer answer;
    } cases[] = {
        {MessageButtons::Ok, "OK", MessageAnswer::Ok},
        {MessageButtons::OkCancel, "Cancel", MessageAnswer::Cancel},
        {MessageButtons::YesNo, "No", MessageAnswer::No},
        {MessageButtons::YesNo, "Yes", MessageAnswer::Yes},
        {MessageButtons::YesNoCancel, "", MessageAnswer::Cancel},
        {MessageButtons::OkCancel, "", MessageAnswer::Cancel},
    };
    for (const Case& c : cases) {
        Answer(c.press);
        EXPECT_EQ(platform::AskUser(nullptr, "Caption", "Text", c.buttons, platform::MessageIcon::Warning), c.answer)
            << c.press.toStdString();
    }
}

// The file chooser lists its filters by name; the patterns behind them still choose the files.
TEST_F(ChoosersTest, TheFileChooserShowsTheFiltersNamesOnly) {
    platform::FileChooserOptions options;
    options.filters = platform::ParseFilterText("Song Files (*.wav; *.mp3)|*.wav; *.mp3|All Files (*.*)|*.*||");
    options.filterIndex = 1;
    QStringList shown;
    gbxtest::WhenModalAppears([&shown](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
        dialog->selectNameFilter(dialog->nameFilters().at(0));
        dialog->reject();
    });
    const platform::FileChooserResult result = platform::ChooseFiles(nullptr, options);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Song Files"), QStringLiteral("All Files")}));
    EXPECT_EQ(result.filterIndex, 0) << "the chosen filter is still told by its place";
}

// In Japanese the toolkit's own buttons speak Japanese and the dialog font is a proportional
// Japanese one; back in English both are the toolkit's own again.
TEST_F(ChoosersTest, TheToolkitFollowsTheProgramsLanguage) {
    const QFont englishFont = QApplication::font();
    QStringList buttons;
    auto collect = [&buttons] {
        buttons.clear();
        gbxtest::WhenModalAppears([&buttons](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            for (QAbstractButton* b : box->buttons()) buttons << b->text().remove('&');
            box->reject();
        });
        platform::AskUser(nullptr, "Caption", "Text", MessageButtons::YesNoCancel, platform::MessageIcon::Warning);
        buttons.sort();
    };
    {
        gbxtest::LanguageScope japanese("ja_JP.UTF-8");
        gbxtest::ScopedEnvironment language("LANGUAGE", "ja");
        ASSERT_TRUE(platform::ApplyUserLanguage()) << "Qt's Japanese translations (qt6-translations-l10n)";
        collect();
        // As "はい(Y)": the translation's own accelerator.
        const QString joined = buttons.join(',');
        EXPECT_TRUE(joined.contains(QStringLiteral("はい")) && joined.contains(QStringLiteral("いいえ"))
                    && joined.contains(QStringLiteral("キャンセル")))
            << joined.toStdString();
        const QFontInfo info(QApplication::font());
        EXPECT_EQ(QApplication::font().families().value(0).toStdString(), platform::JapaneseUiFontFamilies().front());
        EXPECT_FALSE(info.fixedPitch()) << info.family().toStdString();
        const QFontMetrics metrics(QApplication::font());
        EXPECT_LT(metrics.horizontalAdvance(QStringLiteral("iiii")), metrics.horizontalAdvance(QStringLiteral("WWWW")))
            << "proportional";
    }
    EXPECT_TRUE(platform::ApplyUserLanguage());
    collect();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Cancel"), QStringLiteral("No"), QStringLiteral("Yes")}));
    EXPECT_EQ(QApplication::font(), englishFont);
}

TEST_F(ChoosersTest, MessageBoxShowsCaptionTextAndIcon) {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    gbxtest::WhenModalAppears([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->buttons().front()->click();
    });
    platform::AskUser(nullptr, "The caption", "A & B", MessageButtons::Ok, platform::MessageIcon::Error);
    EXPECT_EQ(caption, "The caption");
    EXPECT_EQ(text, "A & B");
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST_F(ChoosersTest, OverrideCursorIsSetChangedAndCleared) {
    EXPECT_FALSE(platform::HasOverrideCursor());
    platform::SetOverrideCursor(platform::Cursor(platform::CursorShape::Wait));
    platform::SetOverrideCursor(platform::Cursor(platform::CursorShape::Cross));
    EXPECT_TRUE(platform::HasOverrideCursor());
    EXPECT_EQ(platform::OverrideCursorShape(), platform::CursorShape::Cross);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    std::array<uint32_t, 32> bits{};
    bits[0] = 0x80000000u;
    platform::SetOverrideCursor(platform::Cursor::FromBits(bits, {}, platform::Point{0, 0}));
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BitmapCursor);
    platform::ClearOverrideCursor();
    EXPECT_FALSE(platform::HasOverrideCursor());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
