#include "ui/Screen.h"

#include "ui/Application.h"

#include <QGuiApplication>
#include <QScreen>

#include <atomic>
#include <stdexcept>

namespace ui {
namespace {

std::atomic<bool> gPretend{false};
std::atomic<int> gPretendWidth{0};
std::atomic<int> gPretendHeight{0};

QRect PrimaryScreenGeometry()
{
    if (!EnsureApplication()) throw std::runtime_error("No screen is available");
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) throw std::runtime_error("No screen is available");
    return screen->geometry();
}

} // namespace

int ScreenWidth() { return gPretend ? gPretendWidth.load() : PrimaryScreenGeometry().width(); }

int ScreenHeight() { return gPretend ? gPretendHeight.load() : PrimaryScreenGeometry().height(); }

void SetPretendScreenSize(int width, int height)
{
    gPretendWidth = width;
    gPretendHeight = height;
    gPretend = true;
}

void ClearPretendScreenSize() { gPretend = false; }

} // namespace ui
