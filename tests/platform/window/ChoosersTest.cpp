#include "platform/window/Application.h"
#include "platform/window/Choosers.h"
#include "platform/window/Cursor.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
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
