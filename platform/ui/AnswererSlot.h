// Holds the answerer a test installs in place of a modal window.
#pragma once

#include <mutex>
#include <utility>

namespace ui::detail {

template <typename Answerer>
class AnswererSlot {
public:
    void Set(Answerer answerer)
    {
        std::lock_guard lock(mutex_);
        answerer_ = std::move(answerer);
    }
    /// A copy, so the answerer can run without the lock held.
    Answerer Get()
    {
        std::lock_guard lock(mutex_);
        return answerer_;
    }

private:
    std::mutex mutex_;
    Answerer answerer_;
};

} // namespace ui::detail
