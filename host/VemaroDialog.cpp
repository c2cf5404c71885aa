// The "Edit Expressions" dialog: a small window run by the host's script
// engine with the two Graph expressions filled in; on OK the edited texts
// become the value of the Graph parameter at the current time.
#include "VemaroPattern.h"

#include "AEGP_SuiteHandler.h"
#include "VemaroExpressionData.h"
#include "VemaroParamTable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr A_long kGraphPattern = 11;

// The dialog in three pieces, the x and the y text going between them as the
// contents of single-quoted literals. Statements are separated by tabs: the
// script holds no line break.
constexpr const char* kScriptHead =
    "(function () {\treturn createDialog();\t"
    "function createDialog() {\t"
    "function textOnChange() {\tif (this.text.length > 259) {\tthis.text = this.text.substring(0, 250);\t}\t}\t"
    "function createResult() {\t"
    "function escapeString(text) {\treturn text.replace(/[^A-Za-z0-9().,+\\-*\\/ ]/g, '');\t}\t"
    "return [ok ? 'true' : 'false', escapeString(ui.x.text), escapeString(ui.y.text)].join('@');\t}\t"
    "var win = new Window('dialog', 'Edit Expressions');\twin.margins = 10;\twin.alignChildren = ['fill', 'center'];\t"
    "var titleSize = [0, 0, 30, 20];\tvar textSize = [0, 0, 300, 20];\tvar ui = {};\tvar ok = false;\t"
    "var xGroup = win.add('group');\txGroup.add('statictext', titleSize, 'x = ');\t"
    "ui.x = xGroup.add('edittext', textSize, '";
constexpr const char* kScriptMiddle =
    "');\tui.x.onChange = textOnChange;\t"
    "var yGroup = win.add('group');\tyGroup.add('statictext', titleSize, 'y = ');\t"
    "ui.y = yGroup.add('edittext', textSize, '";
constexpr const char* kScriptTail =
    "');\tui.y.onChange = textOnChange;\t"
    "var buttons = win.add('group');\tbuttons.alignment = ['fill', 'top'];\t"
    "buttons.add('button', undefined, 'OK', {name: 'ok'}).onClick = function () {\tok = true;\twin.close(1);\t};\t"
    "buttons.add('button', undefined, 'Cancel', {name: 'cancel'}).onClick = function () {\tok = false;\twin.close(1);"
    "\t};\twin.center();\twin.show();\treturn createResult();\t}\t})();";

// A text as the contents of a single-quoted literal. Characters an expression
// may hold stand as they are; every other byte (a quote, a backslash, a line
// break from a damaged project) becomes a \xHH escape, so no stored text can
// close the literal or add code to the script.
std::string scriptLiteral(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (!Graph::cleanse(std::string(1, c)).empty()) {
            out.push_back(c);
            continue;
        }
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
        out += escape;
    }
    return out;
}

std::string dialogScript(const std::string& x, const std::string& y) {
    return kScriptHead + scriptLiteral(x) + kScriptMiddle + scriptLiteral(y) + kScriptTail;
}

struct DialogSuites {
    AEGP_UtilitySuite11* utility;
    AEGP_MemorySuite1* memory;
    AEGP_PFInterfaceSuite1* effectInterface;
    AEGP_StreamSuite9* streams;
    AEGP_EffectSuite2* effects;
};

void keepFirst(PF_Err& err, PF_Err next) {
    if (!err) err = next;
}

// The script's result handle: freed on every way out, unlocked first.
class ScriptResult {
public:
    explicit ScriptResult(AEGP_MemorySuite1* memory) : memory_(memory) {}
    ~ScriptResult() {
        if (locked_) memory_->AEGP_UnlockMemHandle(handle_);
        if (handle_) memory_->AEGP_FreeMemHandle(handle_);
    }
    ScriptResult(const ScriptResult&) = delete;
    ScriptResult& operator=(const ScriptResult&) = delete;

    AEGP_MemHandle* out() { return &handle_; }
    bool present() const { return handle_ != nullptr; }

    // The text up to its NUL, never beyond the handle's size.
    PF_Err read(std::string& text) {
        A_u_longlong size = 0;
        if (PF_Err err = memory_->AEGP_GetMemHandleSize(handle_, &size)) return err;
        void* p = nullptr;
        if (PF_Err err = memory_->AEGP_LockMemHandle(handle_, &p)) return err;
        locked_ = true;
        if (!p) return PF_Err_INTERNAL_STRUCT_DAMAGED;
        const char* chars = static_cast<const char*>(p);
        text.assign(chars, strnlen(chars, static_cast<std::size_t>(size)));
        return PF_Err_NONE;
    }

    PF_Err free() {
        PF_Err err = PF_Err_NONE;
        if (locked_) err = memory_->AEGP_UnlockMemHandle(handle_);
        locked_ = false;
        keepFirst(err, memory_->AEGP_FreeMemHandle(handle_));
        handle_ = nullptr;
        return err;
    }

private:
    AEGP_MemorySuite1* memory_;
    AEGP_MemHandle handle_ = nullptr;
    bool locked_ = false;
};

// Runs the dialog; `reply` stays empty unless the engine ran it and answered.
PF_Err runDialog(const DialogSuites& s, AEGP_PluginID plugin, const std::string& script, std::string& reply) {
    ScriptResult result(s.memory);
    PF_Err err = s.utility->AEGP_ExecuteScript(plugin, script.c_str(), true, result.out(), nullptr);
    if (!result.present()) return err;
    if (!err) err = result.read(reply);
    if (err) reply.clear();
    keepFirst(err, result.free());
    return err;
}

// The reply is "true" or "false", then the x and the y text, joined by '@'.
// Only "true" with exactly two texts is an OK; either text may be empty. The
// texts are filtered again here, as the reply need not come from our script.
bool accepted(const std::string& reply, std::string& x, std::string& y) {
    std::vector<std::string> parts(1);
    for (char c : reply) {
        if (c == '@')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    if (parts.size() != 3 || parts[0] != "true") return false;
    x = Graph::cleanse(parts[1]);
    y = Graph::cleanse(parts[2]);
    return true;
}

// A text into a field: at most 255 characters and the NUL; the bytes after
// the NUL are left as they are.
void putText(char (&field)[Graph::kFieldSize], const std::string& text) {
    const std::size_t n = std::min(text.size(), Graph::kMaxTextLength);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

PF_Err storeTexts(PF_InData* in_data, const DialogSuites& s, AEGP_PluginID plugin, AEGP_StreamRefH stream,
                  AEGP_StreamValue2& value, const std::string& x, const std::string& y) {
    PF_UtilCallbacks* utils = in_data->utils;
    PF_Handle h = value.val.arbH;
    if (!h) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    // A value smaller than the record is not Graph data; writing would run past it.
    if (utils->host_get_handle_size && utils->host_get_handle_size(h) < sizeof(GraphData))
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    auto* data = static_cast<GraphData*>(utils->host_lock_handle(h));
    if (!data) return Graph::kErrCannotLock;
    putText(data->x, x);
    putText(data->y, y);
    PF_Err err = s.streams->AEGP_SetStreamValue(plugin, stream, &value);
    utils->host_unlock_handle(h);
    return err;
}

// The edited texts become the Graph parameter's value at the current time;
// whatever was obtained from the host is handed back on every path.
PF_Err writeTexts(PF_InData* in_data, const DialogSuites& s, AEGP_PluginID plugin, const std::string& x,
                  const std::string& y) {
    AEGP_EffectRefH effect = nullptr;
    PF_Err err = s.effectInterface->AEGP_GetNewEffectForEffect(plugin, in_data->effect_ref, &effect);
    AEGP_StreamRefH stream = nullptr;
    if (!err) err = s.streams->AEGP_GetNewEffectStreamByIndex(plugin, effect, ParamTable::kGraphDataParam, &stream);
    AEGP_StreamValue2 value;
    std::memset(&value, 0, sizeof value);
    bool haveValue = false;
    if (!err) {
        const A_Time now{in_data->current_time, in_data->time_scale};
        err = s.streams->AEGP_GetNewStreamValue(plugin, stream, AEGP_LTimeMode_LayerTime, &now, false, &value);
        haveValue = !err;
    }
    if (!err) err = storeTexts(in_data, s, plugin, stream, value, x, y);
    if (haveValue) keepFirst(err, s.streams->AEGP_DisposeStreamValue(&value));
    if (stream) keepFirst(err, s.streams->AEGP_DisposeStream(stream));
    if (effect) keepFirst(err, s.effects->AEGP_DisposeEffect(effect));
    return err;
}

class LockedGlobal {
public:
    explicit LockedGlobal(PF_InData* in_data)
        : utils_(in_data->utils),
          handle_(in_data->global_data),
          data_(static_cast<GlobalData*>(utils_->host_lock_handle(handle_))) {}
    ~LockedGlobal() {
        if (data_) utils_->host_unlock_handle(handle_);
    }
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    GlobalData* get() const { return data_; }

private:
    PF_UtilCallbacks* utils_;
    PF_Handle handle_;
    GlobalData* data_;
};

}  // namespace

PF_Err DoDialog(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef*) {
    if (!params || in_data->num_params <= ParamTable::kGraphDataParam || !params[ParamTable::kPatternParam] ||
        !params[ParamTable::kGraphDataParam])
        return PF_Err_BAD_CALLBACK_PARAM;
    PF_UtilCallbacks* utils = in_data->utils;
    if (params[ParamTable::kPatternParam]->u.pd.value != kGraphPattern) {
        if (utils && utils->ansi.sprintf) utils->ansi.sprintf(out_data->return_msg, "The current pattern isn't Graph.");
        return PF_Err_NONE;
    }
    if (!in_data->global_data) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    // The global data and both values are reached through the host's lock and
    // unlock callbacks; a host without them gets no window, so that no edit is
    // made that could not be stored.
    if (!utils || !utils->host_lock_handle || !utils->host_unlock_handle) return PF_Err_BAD_CALLBACK_PARAM;
    LockedGlobal global(in_data);
    if (!global.get()) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    const AEGP_PluginID plugin = global.get()->pluginId;
    out_data->out_flags |= PF_OutFlag_REFRESH_UI;
    AEGP_SuiteHandler suites(in_data->pica_basicP);

    const PF_ParamDef& graph = *params[ParamTable::kGraphDataParam];
    if (graph.param_type != PF_Param_ARBITRARY_DATA) return PF_Err_BAD_CALLBACK_PARAM;
    std::string x, y;
    if (PF_Err err = Graph::readTexts(in_data, graph.u.arb_d.value, x, y)) return err;

    // Every suite before the window opens: a missing one must not cost the
    // user the edits made in it.
    const DialogSuites s{suites.UtilitySuite11(), suites.MemorySuite1(), suites.PFInterfaceSuite1(),
                         suites.StreamSuite9(), suites.EffectSuite2()};
    if (!s.utility->AEGP_ExecuteScript) suites.MissingSuiteError();

    std::string reply;
    if (PF_Err err = runDialog(s, plugin, dialogScript(x, y), reply)) return err;
    if (!accepted(reply, x, y)) return PF_Err_NONE;
    return writeTexts(in_data, s, plugin, x, y);
}
