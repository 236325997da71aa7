#pragma once
// libmpv, loaded at run time. The program never links libmpv, so a machine
// without it still starts and reaches the "player not installed" question
// instead of failing in the dynamic loader. mpv's headers are used for types
// and constants only.

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/stream_cb.h>

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <initializer_list>

namespace vantoli {

// The library file tried when no component file was registered.
inline const QString kMpvLibraryName = QStringLiteral("libmpv.so.2");

// The libmpv entry points the player uses.
struct MpvApi {
    decltype(&::mpv_client_api_version) client_api_version;
    decltype(&::mpv_create) create;
    decltype(&::mpv_initialize) initialize;
    decltype(&::mpv_terminate_destroy) terminate_destroy;
    decltype(&::mpv_set_option_string) set_option_string;
    decltype(&::mpv_command_async) command_async;
    decltype(&::mpv_set_property_async) set_property_async;
    decltype(&::mpv_observe_property) observe_property;
    decltype(&::mpv_request_log_messages) request_log_messages;
    decltype(&::mpv_wait_event) wait_event;
    decltype(&::mpv_set_wakeup_callback) set_wakeup_callback;
    decltype(&::mpv_free) free;
    decltype(&::mpv_stream_cb_add_ro) stream_cb_add_ro;
    decltype(&::mpv_render_context_create) render_context_create;
    decltype(&::mpv_render_context_set_update_callback) render_context_set_update_callback;
    decltype(&::mpv_render_context_update) render_context_update;
    decltype(&::mpv_render_context_render) render_context_render;
    decltype(&::mpv_render_context_free) render_context_free;
};

// Loads the library from `file` (a path, or a bare name searched the usual
// way) once per process and resolves every entry point. Returns nullptr when
// the file is missing, is not a compatible libmpv, or lacks an entry point.
// The library stays loaded for the rest of the process.
const MpvApi *loadMpvLibrary(const QString &file);

// The library players use: the registered component file when it loads,
// else the default file (kMpvLibraryName unless changed, which tests do).
// nullptr when neither loads.
const MpvApi *loadMpv();
void setRegisteredMpvLibrary(const QString &file);
void setDefaultMpvLibrary(const QString &file);

// Ends an engine for good: its callbacks off first, so that none of its
// threads posts to an owner that is going, then the render context (may be
// null), then the engine.
void destroyMpv(const MpvApi *api, mpv_handle *mpv, mpv_render_context *render);

// Loads address in place of the current item, without waiting. A network
// item's demuxer may open only network protocols for what the item itself
// names (HLS segments, a concat list), never a file or the engine's own
// protocols; playlists it names are limited by "load-unsafe-playlists".
// False when the engine did not take the command.
bool mpvLoadFile(const MpvApi *api, mpv_handle *mpv, const QString &address, bool networkItem, uint64_t replyId);

// Runs an engine command without waiting; replyId comes back with its end.
void mpvCommand(const MpvApi *api, mpv_handle *mpv, std::initializer_list<const char *> args,
                uint64_t replyId = 0);

// A call the engine's threads ask for (wakeup, render update), brought to
// the owner's thread: at most one waits at a time. The owner calls taken()
// when the call starts, so the next request posts again.
class PostedCall {
public:
    template <class F> void post(QObject *owner, F call) {
        if (!posted_.exchange(true))
            QMetaObject::invokeMethod(owner, std::move(call), Qt::QueuedConnection);
    }
    void taken() { posted_ = false; }

private:
    std::atomic<bool> posted_{false};
};

} // namespace vantoli
