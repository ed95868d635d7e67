#include "platform/window/Input.h"

#include <gtest/gtest.h>

#include <Qt>

namespace {

struct KeyCase {
    int toolkitKey;
    bool keypad;
    int code;
};

TEST(KeyTranslation, GivesTheLibraryCodes) {
    const KeyCase cases[] = {
        {Qt::Key_Up, false, 256},     {Qt::Key_Down, false, 257},     {Qt::Key_Left, false, 258},
        {Qt::Key_Right, false, 259},  {Qt::Key_Home, false, 260},     {Qt::Key_End, false, 261},
        {Qt::Key_PageUp, false, 262}, {Qt::Key_PageDown, false, 263}, {Qt::Key_Return, false, 264},
        {Qt::Key_Enter, true, 264},   {Qt::Key_Escape, false, 265},   {Qt::Key_Backspace, false, 266},
        {Qt::Key_Delete, false, 267}, {Qt::Key_Tab, false, 268},      {Qt::Key_F1, false, 269},
        {Qt::Key_F12, false, 280},    {Qt::Key_0, true, 281},         {Qt::Key_5, true, 286},
        {Qt::Key_9, true, 290},       {Qt::Key_Period, true, 291},    {Qt::Key_Plus, true, 292},
        {Qt::Key_Minus, true, 293},   {Qt::Key_Asterisk, true, 294},  {Qt::Key_Slash, true, 295},
        {Qt::Key_A, false, 65},       {Qt::Key_Z, false, 90},         {Qt::Key_5, false, 53},
        {Qt::Key_Space, false, 32},   {Qt::Key_Up, true, 256},        {Qt::Key_Minus, false, '-'},
    };
    for (const KeyCase& c : cases) {
        EXPECT_EQ(platform::TranslateKey(c.toolkitKey, c.keypad), c.code)
            << "key 0x" << std::hex << c.toolkitKey << " keypad " << c.keypad;
    }
}

TEST(KeyTranslation, ModifierWord) {
    EXPECT_EQ(platform::TranslateModifiers(Qt::NoModifier), 0);
    EXPECT_EQ(platform::TranslateModifiers(Qt::ShiftModifier), platform::kModShift);
    EXPECT_EQ(platform::TranslateModifiers(Qt::ControlModifier), platform::kModCtrl);
    EXPECT_EQ(platform::TranslateModifiers(Qt::AltModifier), platform::kModAlt);
    EXPECT_EQ(platform::TranslateModifiers(
                  int(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier)),
              1 | 2 | 8);
}

}  // namespace
