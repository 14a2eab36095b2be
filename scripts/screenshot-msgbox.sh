#!/usr/bin/env bash
# Shows real message boxes of the window toolkit layer under Xvfb and takes a
# screenshot of each: a check by eye of buttons, icon, default button and text.
# Not part of CI. Needs Xvfb and ImageMagick's import; uses the build in
# ./build (cmake -S . -B build -G Ninja && cmake --build build).
#
#   scripts/screenshot-msgbox.sh [output folder]    (default: build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-$root/build/screenshots}
mkdir -p "$out"
command -v Xvfb >/dev/null || { echo "Xvfb is not installed"; exit 1; }
command -v import >/dev/null || { echo "ImageMagick's import is not installed"; exit 1; }
[ -f build/runtime/libvantrel_static.a ] || { echo "build first: cmake --build build"; exit 1; }

work=$(mktemp -d)
trap 'kill "${xvfb:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

cat >"$work/demo.cpp" <<'EOF'
// Each box is photographed once it is up, then closed with its first button.
#include "uDyxSubs.h"
#include "ui/Application.h"
#include "ui/InputPrompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <stdexcept>
#include <string>

static void ShootThenClose(const QString& file)
{
    QTimer::singleShot(700, [file] {
        QProcess::execute("import", {"-window", "root", file});
        QWidget* w = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(w)) box->buttons().front()->click();
        else if (w) w->close();
    });
}

int main(int argc, char** argv)
{
    ui::Application app(argc, argv);
    ui::SetTitle("Morlex");
    const QString dir = QString::fromLocal8Bit(argv[1]);
    ShootThenClose(dir + "/msgbox-yesnocancel.png");
    vantrel::MsgBox("Save the changes to German.lang?", "", 0x3 | 0x20 | 0x100);
    ShootThenClose(dir + "/msgbox-error-report.png");
    ui::ShowException(std::runtime_error("Cannot open file \"C:\\Language\\x.lang\". Access is denied"));
    ShootThenClose(dir + "/msgbox-abortretryignore.png");
    vantrel::MsgBox("Disk not ready.", "Copy File", 0x2 | 0x30);
    ShootThenClose(dir + "/input-prompt.png");
    std::string name = "German.lang";
    ui::InputQuery("Rename", "PLease input new file name:", name);
    return 0;
}
EOF

g++ -std=c++20 -fPIC -o "$work/demo" "$work/demo.cpp" \
  -I runtime -I platform -I build/generated \
  $(pkg-config --cflags Qt6Widgets) \
  build/runtime/libvantrel_static.a \
  $(pkg-config --libs Qt6Widgets) -lsqlite3 -lcurl -lpthread

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
DISPLAY=$display QT_QPA_PLATFORM=xcb "$work/demo" "$out"
ls -l "$out"
