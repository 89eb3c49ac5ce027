// Framework events: a signal guarded by a std::mutex whose slots may be tracked by a weak
// reference to their subscriber.
#pragma once

#include <memory>
#include <mutex>
#include <utility>

#include <boost/signals2/connection.hpp>
#include <boost/signals2/signal_type.hpp>

namespace Tamrix::Vorn {

// A handle of one subscription. Destroying it does not disconnect; call disconnect() to cut it.
using Connection = boost::signals2::connection;

// Event<Args...> raises its slots synchronously, in connection order, on the raising thread.
// A slot tracked by a std::weak_ptr is skipped once its subscriber is gone, and the subscriber is
// kept alive while its slot runs. Connecting and raising are thread-safe.
template <typename... Args>
class Event {
  using Signal = typename boost::signals2::signal_type<
      void(Args...), boost::signals2::keywords::mutex_type<std::mutex>>::type;

 public:
  Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Connects a plain callable, called until the connection is cut.
  template <typename Callable>
  Connection Connect(Callable&& callable) {
    return signal_.connect(std::forward<Callable>(callable));
  }

  // Connects a callable that is skipped once `subscriber` has expired.
  template <typename Subscriber, typename Callable>
  Connection Connect(const std::weak_ptr<Subscriber>& subscriber, Callable&& callable) {
    typename Signal::slot_type slot(std::forward<Callable>(callable));
    slot.track_foreign(subscriber);
    return signal_.connect(slot);
  }

  // Connects a member function of `subscriber`, tracked by a weak reference to it.
  template <typename Subscriber, typename Target, typename... Params>
  Connection Connect(const std::weak_ptr<Subscriber>& subscriber,
                     void (Target::*method)(Params...)) {
    Subscriber* raw = subscriber.lock().get();
    return Connect(subscriber, [raw, method](Args... args) {
      (static_cast<Target*>(raw)->*method)(std::forward<Args>(args)...);
    });
  }

  // Raises the event. Exceptions thrown by a slot propagate to the raiser and stop the raise.
  void operator()(Args... args) const { signal_(std::forward<Args>(args)...); }

  std::size_t SlotCount() const { return signal_.num_slots(); }

 private:
  Signal signal_;
};

}  // namespace Tamrix::Vorn
