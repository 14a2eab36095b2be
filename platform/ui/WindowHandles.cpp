#include "ui/WindowHandles.h"

#include <QObject>
#include <QWidget>

#include <mutex>
#include <unordered_map>

namespace ui {
namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<win32::HWND, QWidget*> widgets;
    std::unordered_map<const QObject*, win32::HWND> handles;
    // Even numbers from here keep clear of small ids that callers use as
    // sentinels and of the ids other parts of the layer may hand out.
    win32::HWND next = 0x00010000;
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry; // outlives widgets destroyed at exit
    return *registry;
}

void Forget(const QObject* object)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.handles.find(object);
    if (it == r.handles.end()) return;
    r.widgets.erase(it->second);
    r.handles.erase(it);
}

} // namespace

win32::HWND HandleOf(QWidget* widget)
{
    if (!widget) return 0;
    Registry& r = TheRegistry();
    win32::HWND handle = 0;
    {
        std::lock_guard lock(r.mutex);
        if (auto it = r.handles.find(widget); it != r.handles.end()) return it->second;
        while (r.widgets.count(r.next) || r.next == 0) r.next += 2;
        handle = r.next;
        r.next += 2;
        r.widgets.emplace(handle, widget);
        r.handles.emplace(widget, handle);
    }
    // QObject::destroyed comes after the widget part is gone: only the
    // address is used.
    QObject::connect(widget, &QObject::destroyed, [](QObject* object) { Forget(object); });
    return handle;
}

QWidget* WidgetOf(win32::HWND handle)
{
    if (!handle) return nullptr;
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.widgets.find(handle);
    return it == r.widgets.end() ? nullptr : it->second;
}

} // namespace ui
