#include "platform/window/Application.h"
#include "tests/support/WidgetDriver.h"
#include "ui/TextDialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

#include <string>

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

TEST(TextDialogCodes, ButtonSetsIconsAndAnswersMap) {
    const std::pair<int, MessageButtons> sets[] = {{0, MessageButtons::Ok},    {1, MessageButtons::OkCancel},
                                                   {2, MessageButtons::YesNo}, {3, MessageButtons::YesNoCancel},
                                                   {4, MessageButtons::Ok},    {-1, MessageButtons::Ok}};
    for (const auto& s : sets) EXPECT_EQ(UL::ButtonSetToMessageButtons(s.first), s.second) << s.first;
    const std::pair<int, MessageIcon> icons[] = {{0, MessageIcon::Question},
                                                 {1, MessageIcon::Warning},
                                                 {2, MessageIcon::Error},
                                                 {3, MessageIcon::Warning},
                                                 {-5, MessageIcon::Warning}};
    for (const auto& i : icons) EXPECT_EQ(UL::IconKindToMessageIcon(i.first), i.second) << i.first;
    EXPECT_EQ(UL::MessageAnswerToCode(MessageAnswer::Ok), 0);
    EXPECT_EQ(UL::MessageAnswerToCode(MessageAnswer::Cancel), 1);
    EXPECT_EQ(UL::MessageAnswerToCode(MessageAnswer::Yes), 2);
    EXPECT_EQ(UL::MessageAnswerToCode(MessageAnswer::No), 3);
}

class TextDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        platform::SetApplicationTitle("Gigbox Setlister");
    }
    struct Seen {
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
    };
    // Answers the next box by the button text, or Esc for an empty text, and records what it showed.
    void AnswerWith(const QString& press) {
        gbxtest::WhenModalAppears([this, press](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            seen = Seen{box->windowTitle(), box->text(), box->icon(), {}};
            QAbstractButton* target = nullptr;
            for (QAbstractButton* b : box->buttons()) {
                seen.buttons << b->text().remove('&');
                if (b->text().remove('&') == press) target = b;
            }
            if (target != nullptr)
                target->click();
            else
                gbxtest::PressKey(box, Qt::Key_Escape);
        });
    }
    Seen seen;
    UL::CTextDialog dialog;
};

TEST_F(TextDialogTest, ShowAnswersInLibraryCodes) {
    struct Case {
        int set;
        QString press;
        int answer;
        int buttonCount;
    } cases[] = {{0, "OK", 0, 1}, {0, "", 0, 1}, {1, "OK", 0, 2},  {1, "Cancel", 1, 2}, {2, "Yes", 2, 2},
                 {2, "No", 3, 2}, {3, "", 1, 3}, {3, "Yes", 2, 3}, {3, "No", 3, 3}};
    for (const Case& c : cases) {
        AnswerWith(c.press);
        EXPECT_EQ(dialog.Show(c.set, 1, "Question?"), c.answer) << c.set << " " << c.press.toStdString();
        EXPECT_EQ(seen.buttons.size(), c.buttonCount) << c.set;
        EXPECT_EQ(seen.caption, "Gigbox Setlister");
    }
}

TEST_F(TextDialogTest, IconKindsShowTheirIcons) {
    const std::pair<int, QMessageBox::Icon> cases[] = {
        {0, QMessageBox::Question}, {1, QMessageBox::Warning}, {2, QMessageBox::Critical}, {7, QMessageBox::Warning}};
    for (const auto& c : cases) {
        AnswerWith("OK");
        dialog.Show(0, c.first, "text");
        EXPECT_EQ(seen.icon, c.second) << c.first;
    }
}

TEST_F(TextDialogTest, FormatCutsTheTextTo509Characters) {
    const std::string longText(600, 'x');
    AnswerWith("OK");
    EXPECT_EQ(dialog.Format(0, 1, "%s-%d", longText.c_str(), 5), 0);
    EXPECT_EQ(seen.text.size(), 509);
    AnswerWith("Yes");
    EXPECT_EQ(dialog.Format(2, 1, "File %02d/%02d", 3, 12), 2);
    EXPECT_EQ(seen.text, "File 03/12");
}

}  // namespace
