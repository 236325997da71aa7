#include "playback/mpv_library.h"

#include "platform/file_name.h"

#include <QHash>

#include <dlfcn.h>

#include <memory>
#include <mutex>
#include <vector>

namespace vantoli {
namespace {

std::mutex g_mutex;
QString g_registered;
QString g_default = kMpvLibraryName;

template <typename Fn>
bool resolve(void *lib, const char *name, Fn &fn) {
    fn = reinterpret_cast<Fn>(dlsym(lib, name));
    return fn != nullptr;
}

std::unique_ptr<MpvApi> resolveAll(void *lib) {
    auto api = std::make_unique<MpvApi>();
    const bool ok = resolve(lib, "mpv_client_api_version", api->client_api_version) &&
                    resolve(lib, "mpv_create", api->create) &&
                    resolve(lib, "mpv_initialize", api->initialize) &&
                    resolve(lib, "mpv_terminate_destroy", api->terminate_destroy) &&
                    resolve(lib, "mpv_set_option_string", api->set_option_string) &&
                    resolve(lib, "mpv_command_async", api->command_async) &&
                    resolve(lib, "mpv_set_property_async", api->set_property_async) &&
                    resolve(lib, "mpv_observe_property", api->observe_property) &&
                    resolve(lib, "mpv_request_log_messages", api->request_log_messages) &&
                    resolve(lib, "mpv_wait_event", api->wait_event) &&
                    resolve(lib, "mpv_set_wakeup_callback", api->set_wakeup_callback) &&
                    resolve(lib, "mpv_free", api->free) &&
                    resolve(lib, "mpv_stream_cb_add_ro", api->stream_cb_add_ro) &&
                    resolve(lib, "mpv_render_context_create", api->render_context_create) &&
                    resolve(lib, "mpv_render_context_set_update_callback",
                            api->render_context_set_update_callback) &&
                    resolve(lib, "mpv_render_context_update", api->render_context_update) &&
                    resolve(lib, "mpv_render_context_render", api->render_context_render) &&
                    resolve(lib, "mpv_render_context_free", api->render_context_free);
    if (!ok)
        return nullptr;
    // The structures we share with the library (events, render parameters)
    // are those of client API major version 2.
    if ((api->client_api_version() >> 16) != (MPV_CLIENT_API_VERSION >> 16))
        return nullptr;
    return api;
}

} // namespace

const MpvApi *loadMpvLibrary(const QString &file) {
    // Kept for the whole process, like the library itself.
    static auto &loaded = *new QHash<QString, const MpvApi *>;
    const std::lock_guard lock(g_mutex);
    if (const auto it = loaded.constFind(file); it != loaded.constEnd())
        return *it;
    if (file.isEmpty())
        return nullptr;
    void *lib = dlopen(file.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return nullptr;
    std::unique_ptr<MpvApi> api = resolveAll(lib);
    if (!api) {
        dlclose(lib);
        return nullptr;
    }
    const MpvApi *result = api.release();
    loaded.insert(file, result);
    return result;
}

void setRegisteredMpvLibrary(const QString &file) {
    const std::lock_guard lock(g_mutex);
    g_registered = file;
}

void setDefaultMpvLibrary(const QString &file) {
    const std::lock_guard lock(g_mutex);
    g_default = file;
}

const MpvApi *loadMpv() {
    QString registered, fallback;
    {
        const std::lock_guard lock(g_mutex);
        registered = g_registered;
        fallback = g_default;
    }
    if (const MpvApi *api = loadMpvLibrary(registered))
        return api;
    return loadMpvLibrary(fallback);
}

void destroyMpv(const MpvApi *api, mpv_handle *mpv, mpv_render_context *render) {
    api->set_wakeup_callback(mpv, nullptr, nullptr);
    if (render) {
        api->render_context_set_update_callback(render, nullptr, nullptr);
        api->render_context_free(render);
    }
    api->terminate_destroy(mpv);
}

void mpvCommand(const MpvApi *api, mpv_handle *mpv, std::initializer_list<const char *> args, uint64_t replyId) {
    std::vector<const char *> argv(args);
    argv.push_back(nullptr);
    api->command_async(mpv, replyId, argv.data());
}

bool mpvLoadFile(const MpvApi *api, mpv_handle *mpv, const QString &address, bool networkItem, uint64_t replyId) {
    // mpv takes a file's name as its bytes, which need not be UTF-8.
    const QByteArray target = fileNameBytes(address);
    const char *options = "demuxer-lavf-o=[protocol_whitelist=[http,https,tcp,tls,crypto,httpproxy]]";
    const char *argv[] = {"loadfile", target.constData(), "replace", networkItem ? options : nullptr, nullptr};
    return api->command_async(mpv, replyId, argv) >= 0;
}

} // namespace vantoli
