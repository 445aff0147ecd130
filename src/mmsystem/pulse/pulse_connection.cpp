// The connection to the sound server: the threaded main loop, the context and the
// sources and sinks the server reports.
#include "mmsystem/pulse/pulse_connection.h"

#include <algorithm>

namespace pulse {

namespace {

template <typename Info>
Endpoint describe(const Info& info) {
  Endpoint e;
  e.index = info.index;
  e.name = info.name != nullptr ? info.name : "";
  e.description = info.description != nullptr && *info.description != '\0' ? info.description : e.name;
  e.spec = info.sample_spec;
  e.map = info.channel_map;
  e.volume = info.volume;
  e.mute = info.mute != 0;
  return e;
}

std::vector<Endpoint>::iterator find(std::vector<Endpoint>& list, uint32_t index) {
  return std::find_if(list.begin(), list.end(), [&](const Endpoint& e) { return e.index == index; });
}

}  // namespace

Connection::Connection() = default;

std::unique_ptr<Connection> Connection::open(std::chrono::milliseconds timeout, std::string* why) {
  std::unique_ptr<Connection> c(new Connection);
  auto fail = [&](const std::string& text) {
    if (why != nullptr) *why = text;
    return nullptr;
  };
  c->loop_ = pa_threaded_mainloop_new();
  if (c->loop_ == nullptr) return fail("libpulse could not make its main loop");
  pa_threaded_mainloop_set_name(c->loop_, "tessaron-pulse");
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Tessaron");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "tessaron");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "tessaron");
  c->context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(c->loop_), "Tessaron", props);
  pa_proplist_free(props);
  if (c->context_ == nullptr) return fail("libpulse could not make its context");
  pa_context_set_state_callback(c->context_, &Connection::contextState, c.get());
  if (pa_context_connect(c->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    return fail(pa_strerror(pa_context_errno(c->context_)));
  if (pa_threaded_mainloop_start(c->loop_) < 0) return fail("libpulse could not start its main loop thread");

  Lock lock(*c);
  auto settled = [&] {
    const pa_context_state_t s = pa_context_get_state(c->context_);
    return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
  };
  if (!c->wait(settled, timeout)) return fail("the sound server did not answer in time");
  if (pa_context_get_state(c->context_) != PA_CONTEXT_READY) return fail(c->errorText());

  pa_context_set_subscribe_callback(c->context_, &Connection::subscription, c.get());
  const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SINK |
                                                        PA_SUBSCRIPTION_MASK_SERVER);
  // The subscription first, so that nothing that changes while the lists are read is missed.
  if (!c->complete(pa_context_subscribe(c->context_, mask, &Connection::succeeded, c.get()), timeout) ||
      !c->complete(pa_context_get_server_info(c->context_, &Connection::serverInfo, c.get()), timeout) ||
      !c->complete(pa_context_get_source_info_list(c->context_, &Connection::sourceInfo, c.get()), timeout) ||
      !c->complete(pa_context_get_sink_info_list(c->context_, &Connection::sinkInfo, c.get()), timeout))
    return fail("the sound server did not list its devices: " + c->errorText());
  return c;
}

Connection::~Connection() {
  if (loop_ != nullptr) pa_threaded_mainloop_stop(loop_);
  if (context_ != nullptr) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_set_subscribe_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  if (loop_ != nullptr) pa_threaded_mainloop_free(loop_);
}

void Connection::signal() {
  {
    std::lock_guard lock(signalMutex_);
    ++signals_;
  }
  signalled_.notify_all();
}

bool Connection::complete(pa_operation* op, std::chrono::milliseconds timeout) {
  if (op == nullptr) return false;
  const bool done = wait([&] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, timeout);
  if (!done) pa_operation_cancel(op);
  pa_operation_unref(op);
  return done;
}

std::string Connection::serverName() const {
  std::lock_guard lock(stateMutex_);
  return serverName_;
}

bool Connection::alive() const {
  std::lock_guard lock(stateMutex_);
  return !failed_;
}

std::string Connection::failureText() const {
  std::lock_guard lock(stateMutex_);
  return failure_;
}

std::vector<Endpoint> Connection::inputs() const {
  std::lock_guard lock(stateMutex_);
  std::vector<Endpoint> list;
  for (const Endpoint& e : sources_)
    if (!e.monitor) list.push_back(e);
  for (const Endpoint& e : sources_)
    if (e.monitor) list.push_back(e);
  return list;
}

std::vector<Endpoint> Connection::outputs() const {
  std::lock_guard lock(stateMutex_);
  return sinks_;
}

bool Connection::endpoint(Kind kind, uint32_t index, Endpoint& out) const {
  std::lock_guard lock(stateMutex_);
  const std::vector<Endpoint>& list = kind == Kind::Source ? sources_ : sinks_;
  const auto it = std::find_if(list.begin(), list.end(), [&](const Endpoint& e) { return e.index == index; });
  if (it == list.end()) return false;
  out = *it;
  return true;
}

bool Connection::defaultEndpoint(Kind kind, Endpoint& out) const {
  std::lock_guard lock(stateMutex_);
  const std::vector<Endpoint>& list = kind == Kind::Source ? sources_ : sinks_;
  const std::string& name = kind == Kind::Source ? defaultSource_ : defaultSink_;
  const auto it = std::find_if(list.begin(), list.end(), [&](const Endpoint& e) { return e.name == name; });
  if (it == list.end()) return false;
  out = *it;
  return true;
}

void Connection::refresh(Kind kind, uint32_t index) {
  complete(kind == Kind::Source ? pa_context_get_source_info_by_index(context_, index, &Connection::sourceInfo, this)
                                : pa_context_get_sink_info_by_index(context_, index, &Connection::sinkInfo, this));
}

void Connection::addListener(Listener* listener) { listeners_.push_back(listener); }

void Connection::removeListener(Listener* listener) { std::erase(listeners_, listener); }

void Connection::contextState(pa_context* context, void* self) {
  InCallback here;
  auto* c = static_cast<Connection*>(self);
  const pa_context_state_t state = pa_context_get_state(context);
  if (!PA_CONTEXT_IS_GOOD(state)) {
    std::lock_guard lock(c->stateMutex_);
    if (!c->failed_) c->failure_ = pa_strerror(pa_context_errno(context));
    c->failed_ = true;
  }
  c->signal();
}

void Connection::serverInfo(pa_context*, const pa_server_info* info, void* self) {
  InCallback here;
  auto* c = static_cast<Connection*>(self);
  if (info != nullptr) {
    bool changed = false;
    {
      std::lock_guard lock(c->stateMutex_);
      const std::string source = info->default_source_name != nullptr ? info->default_source_name : "";
      const std::string sink = info->default_sink_name != nullptr ? info->default_sink_name : "";
      changed = !c->serverName_.empty() && (source != c->defaultSource_ || sink != c->defaultSink_);
      c->serverName_ = info->server_name != nullptr ? info->server_name : "";
      // PulseAudio calls itself by its program's name; PipeWire's front end by what it is.
      if (c->serverName_ == "pulseaudio") c->serverName_ = "PulseAudio";
      c->defaultSource_ = source;
      c->defaultSink_ = sink;
    }
    if (changed)
      for (Listener* l : c->listeners_) l->listChanged();
  }
  c->signal();
}

void Connection::sourceInfo(pa_context*, const pa_source_info* info, int eol, void* self) {
  InCallback here;
  auto* c = static_cast<Connection*>(self);
  if (eol == 0 && info != nullptr) {
    Endpoint e = describe(*info);
    e.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
    c->update(Kind::Source, std::move(e));
  }
  c->signal();
}

void Connection::sinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self) {
  InCallback here;
  auto* c = static_cast<Connection*>(self);
  if (eol == 0 && info != nullptr) c->update(Kind::Sink, describe(*info));
  c->signal();
}

void Connection::update(Kind kind, Endpoint endpoint) {
  bool added = false;
  bool volumeChanged = false;
  bool muteChanged = false;
  bool renamed = false;
  const uint32_t index = endpoint.index;
  {
    std::lock_guard lock(stateMutex_);
    std::vector<Endpoint>& list = kind == Kind::Source ? sources_ : sinks_;
    auto it = find(list, index);
    if (it == list.end()) {
      added = true;
      const auto at = std::find_if(list.begin(), list.end(), [&](const Endpoint& e) { return e.index > index; });
      list.insert(at, std::move(endpoint));
    } else {
      volumeChanged = !pa_cvolume_equal(&it->volume, &endpoint.volume);
      muteChanged = it->mute != endpoint.mute;
      renamed = it->description != endpoint.description;
      *it = std::move(endpoint);
    }
  }
  for (Listener* l : listeners_) {
    if (added || renamed) {
      l->listChanged();
    } else if (volumeChanged || muteChanged) {
      l->endpointChanged(kind, index, volumeChanged, muteChanged);
    }
  }
}

void Connection::remove(Kind kind, uint32_t index) {
  {
    std::lock_guard lock(stateMutex_);
    std::vector<Endpoint>& list = kind == Kind::Source ? sources_ : sinks_;
    auto it = find(list, index);
    if (it == list.end()) return;
    list.erase(it);
  }
  for (Listener* l : listeners_) l->listChanged();
}

void Connection::subscription(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* self) {
  InCallback here;
  auto* c = static_cast<Connection*>(self);
  const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
  const auto what = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
  pa_operation* op = nullptr;
  if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
    op = pa_context_get_server_info(context, &Connection::serverInfo, c);
  } else if (facility == PA_SUBSCRIPTION_EVENT_SOURCE || facility == PA_SUBSCRIPTION_EVENT_SINK) {
    const Kind kind = facility == PA_SUBSCRIPTION_EVENT_SOURCE ? Kind::Source : Kind::Sink;
    if (what == PA_SUBSCRIPTION_EVENT_REMOVE) {
      c->remove(kind, index);
    } else if (kind == Kind::Source) {
      op = pa_context_get_source_info_by_index(context, index, &Connection::sourceInfo, c);
    } else {
      op = pa_context_get_sink_info_by_index(context, index, &Connection::sinkInfo, c);
    }
  }
  // The answer arrives through the info callbacks; nobody waits for it here.
  if (op != nullptr) pa_operation_unref(op);
}

}  // namespace pulse
