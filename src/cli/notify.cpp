#include "cli/notify.h"

#include <dbus/dbus.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <string_view>

#include "cli/detach.h"

namespace kvr::cli {
namespace {

// libdbus, loaded in the child only: the shot itself never loads it.
struct Bus {
    void* lib = dlopen("libdbus-1.so.3", RTLD_NOW | RTLD_LOCAL);
    template <typename F>
    F* get(const char* name) const {
        return lib ? reinterpret_cast<F*>(dlsym(lib, name)) : nullptr;
    }
#define KVR_DBUS(name) decltype(&::name) name = get<decltype(::name)>(#name)
    KVR_DBUS(dbus_error_init);
    KVR_DBUS(dbus_bus_get);
    KVR_DBUS(dbus_message_new_method_call);
    KVR_DBUS(dbus_message_iter_init_append);
    KVR_DBUS(dbus_message_iter_append_basic);
    KVR_DBUS(dbus_message_iter_open_container);
    KVR_DBUS(dbus_message_iter_close_container);
    KVR_DBUS(dbus_connection_send_with_reply_and_block);
    KVR_DBUS(dbus_message_iter_init);
    KVR_DBUS(dbus_message_iter_recurse);
    KVR_DBUS(dbus_message_iter_get_arg_type);
    KVR_DBUS(dbus_message_iter_get_basic);
    KVR_DBUS(dbus_message_iter_next);
#undef KVR_DBUS
    bool ready() const {
        return dbus_error_init && dbus_bus_get && dbus_message_new_method_call &&
               dbus_message_iter_init_append && dbus_message_iter_append_basic &&
               dbus_message_iter_open_container && dbus_message_iter_close_container &&
               dbus_connection_send_with_reply_and_block && dbus_message_iter_init &&
               dbus_message_iter_recurse && dbus_message_iter_get_arg_type &&
               dbus_message_iter_get_basic && dbus_message_iter_next;
    }
};

void appendString(const Bus& bus, DBusMessageIter* it, const std::string& value) {
    const char* s = value.c_str();
    bus.dbus_message_iter_append_basic(it, DBUS_TYPE_STRING, &s);
}

// One a{sv} entry with a string value.
void appendHint(const Bus& bus, DBusMessageIter* dict, const char* key, const char* value) {
    DBusMessageIter entry, variant;
    bus.dbus_message_iter_open_container(dict, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    bus.dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
    bus.dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "s", &variant);
    bus.dbus_message_iter_append_basic(&variant, DBUS_TYPE_STRING, &value);
    bus.dbus_message_iter_close_container(&entry, &variant);
    bus.dbus_message_iter_close_container(dict, &entry);
}

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";

// Whether the server reads the body as markup (then the user's names are escaped).
bool readsMarkup(const Bus& bus, DBusConnection* connection) {
    DBusError error;
    bus.dbus_error_init(&error);
    DBusMessage* call =
        bus.dbus_message_new_method_call(kService, kPath, kService, "GetCapabilities");
    DBusMessage* reply =
        call ? bus.dbus_connection_send_with_reply_and_block(connection, call, 10000, &error)
             : nullptr;
    DBusMessageIter it, list;
    if (!reply || !bus.dbus_message_iter_init(reply, &it) ||
        bus.dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY)
        return false;
    for (bus.dbus_message_iter_recurse(&it, &list);
         bus.dbus_message_iter_get_arg_type(&list) == DBUS_TYPE_STRING;
         bus.dbus_message_iter_next(&list)) {
        const char* capability = nullptr;
        bus.dbus_message_iter_get_basic(&list, &capability);
        if (std::string_view(capability) == "body-markup")
            return true;
    }
    return false;
}

std::string escapeMarkup(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

}  // namespace

void sendNotification(const std::string& path, const std::string& summary,
                      const std::string& body) {
    const Bus bus;
    if (!bus.ready())
        return;
    DBusError error;
    bus.dbus_error_init(&error);
    DBusConnection* connection = bus.dbus_bus_get(DBUS_BUS_SESSION, &error);
    if (!connection)
        return;
    const bool markup = readsMarkup(bus, connection);
    DBusMessage* call = bus.dbus_message_new_method_call(kService, kPath, kService, "Notify");
    if (!call)
        return;
    DBusMessageIter args, actions, hints;
    bus.dbus_message_iter_init_append(call, &args);
    appendString(bus, &args, "Kelvoro");
    const dbus_uint32_t replaces = 0;
    bus.dbus_message_iter_append_basic(&args, DBUS_TYPE_UINT32, &replaces);
    appendString(bus, &args, "org.example.kelvoro");
    appendString(bus, &args, summary);
    appendString(bus, &args, markup ? escapeMarkup(body) : body);
    bus.dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "s", &actions);
    bus.dbus_message_iter_close_container(&args, &actions);
    bus.dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "{sv}", &hints);
    appendHint(bus, &hints, "desktop-entry", "org.example.kelvoro");
    if (!path.empty())
        appendHint(bus, &hints, "category", "transfer.complete");
    bus.dbus_message_iter_close_container(&args, &hints);
    const dbus_int32_t timeout = -1;
    bus.dbus_message_iter_append_basic(&args, DBUS_TYPE_INT32, &timeout);
    // The answer only tells that the server took it; waited for so the bus has it all.
    DBusError sent;
    bus.dbus_error_init(&sent);
    bus.dbus_connection_send_with_reply_and_block(connection, call, 10000, &sent);
}

void announceFile(const std::string& path, const std::string& summary, const std::string& body) {
    startPart({kSendNotification, path, summary, body});
}

}  // namespace kvr::cli
