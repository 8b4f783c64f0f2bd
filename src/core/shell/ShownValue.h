#pragma once

#include <functional>

namespace kelm {

// A value with one owner and one view: the owner sets it, the view is told
// of every set and only shows it. Nothing reads the value back from a widget.
template <typename T>
class ShownValue {
public:
    using Observer = std::function<void(T)>;

    explicit ShownValue(T initial) : m_value(initial) {}

    T value() const { return m_value; }

    // Sets the value and tells the observer (also when unchanged, so a view
    // attached late shows the right picture after the next set).
    void set(T value) {
        m_value = value;
        if (m_observer) m_observer(value);
    }

    // One observer, called on every set; the current value is shown at once.
    void setObserver(Observer observer) {
        m_observer = std::move(observer);
        if (m_observer) m_observer(m_value);
    }

private:
    T m_value;
    Observer m_observer;
};

}  // namespace kelm
