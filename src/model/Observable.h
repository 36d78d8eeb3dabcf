#pragma once
// Change notification for the display models. Models live on the UI thread:
// observers are called there, after each published change.
#include <cstddef>
#include <functional>
#include <map>

namespace qx {

class Observable {
public:
    using Observer = std::function<void()>;
    std::size_t subscribe(Observer observer)
    {
        observers_.emplace(++lastToken_, std::move(observer));
        return lastToken_;
    }
    void unsubscribe(std::size_t token) { observers_.erase(token); }

protected:
    void notify()
    {
        auto copy = observers_;  // an observer may unsubscribe itself
        for (auto& [token, observer] : copy) observer();
    }

private:
    std::map<std::size_t, Observer> observers_;
    std::size_t lastToken_ = 0;
};

}  // namespace qx
