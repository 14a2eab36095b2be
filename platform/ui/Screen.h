// The size of the primary screen, with a seam through which tests pretend one.
#pragma once

namespace ui {

/// Width and height of the whole primary screen in pixels (the task bar
/// included), as the toolkit reports them. Throw std::runtime_error when
/// there is no screen (no application object possible).
int ScreenWidth();
int ScreenHeight();

/// Makes ScreenWidth and ScreenHeight report this size (tests only).
void SetPretendScreenSize(int width, int height);
/// Goes back to the real screen.
void ClearPretendScreenSize();

} // namespace ui
