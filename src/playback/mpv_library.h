#pragma once
// libmpv, loaded at run time. The program never links libmpv, so a machine
// without it still starts and reaches the "player not installed" question
// instead of failing in the dynamic loader. mpv's headers are used for types
// and constants only.

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/stream_cb.h>

#include <QString>

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

} // namespace vantoli
