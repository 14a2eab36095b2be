#include "ui/WindowHandles.h"

#include "ui/Application.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(WindowHandles, HandleIsStableDistinctAndForgottenWithTheWidget)
{
    ASSERT_NE(ui::EnsureApplication(), nullptr);
    EXPECT_EQ(ui::HandleOf(nullptr), 0u);
    EXPECT_EQ(ui::WidgetOf(0), nullptr);

    auto* a = new QWidget;
    QWidget b;
    const win32::HWND ha = ui::HandleOf(a);
    const win32::HWND hb = ui::HandleOf(&b);
    EXPECT_NE(ha, 0u);
    EXPECT_NE(ha, hb);
    EXPECT_EQ(ui::HandleOf(a), ha);
    EXPECT_EQ(ui::WidgetOf(ha), a);
    EXPECT_EQ(ui::WidgetOf(hb), &b);

    delete a;
    EXPECT_EQ(ui::WidgetOf(ha), nullptr);
    EXPECT_EQ(ui::WidgetOf(hb), &b);
    EXPECT_EQ(ui::WidgetOf(ha + 1000), nullptr);

    // A new widget never gets the handle of a destroyed one back.
    QWidget c;
    EXPECT_NE(ui::HandleOf(&c), ha);
}

} // namespace
