#include "ParamList.h"

#include "Messages.h"
#include "ParamKeys.h"
#include "Scene.h"

#include <iomanip>
#include <ostream>
#include <sstream>

namespace tools {

using json = nlohmann::ordered_json;

namespace {

std::string flagLetters(A_long flags) {
    std::string s;
    if (flags & PF_ParamFlag_CANNOT_TIME_VARY) s += 'N';
    if (flags & PF_ParamFlag_SUPERVISE) s += 'S';
    if (flags & PF_ParamFlag_COLLAPSE_TWIRLY) s += 'T';
    return s;
}

const char* typeText(PF_ParamType t) {
    const char* name = hostsim::Params::typeName(t);
    return name ? name : "?";
}

std::string fmt(double v) {
    std::ostringstream s;
    s << std::setprecision(7) << v;
    return s.str();
}

bool isSlider(PF_ParamType t) { return t == PF_Param_SLIDER || t == PF_Param_FIX_SLIDER || t == PF_Param_FLOAT_SLIDER; }

struct Ranges {
    double validMin, validMax, sliderMin, sliderMax;
    int precision;
    bool percent;
};

Ranges rangesOf(const PF_ParamDef& d) {
    switch (d.param_type) {
        case PF_Param_SLIDER:
            return {double(d.u.sd.valid_min),
                    double(d.u.sd.valid_max),
                    double(d.u.sd.slider_min),
                    double(d.u.sd.slider_max),
                    0,
                    false};
        case PF_Param_FIX_SLIDER:
            return {FIX_2_FLOAT(d.u.fd.valid_min),
                    FIX_2_FLOAT(d.u.fd.valid_max),
                    FIX_2_FLOAT(d.u.fd.slider_min),
                    FIX_2_FLOAT(d.u.fd.slider_max),
                    d.u.fd.precision,
                    (d.u.fd.display_flags & PF_ValueDisplayFlag_PERCENT) != 0};
        default:
            return {d.u.fs_d.valid_min,  d.u.fs_d.valid_max,
                    d.u.fs_d.slider_min, d.u.fs_d.slider_max,
                    d.u.fs_d.precision,  (d.u.fs_d.display_flags & PF_ValueDisplayFlag_PERCENT) != 0};
    }
}

json valueJson(const PF_ParamDef& d, const hostsim::ParamValue& v, const hostsim::HandleTable& handles) {
    switch (d.param_type) {
        case PF_Param_CHECKBOX: return v.v[0] != 0;
        case PF_Param_POPUP:
        case PF_Param_SLIDER:
        case PF_Param_PATH: return static_cast<long long>(v.v[0]);
        case PF_Param_LAYER:
            if (v.v[0] == hostsim::kLayerSelf) return "self";
            if (v.v[0] == hostsim::kLayerNone) return nullptr;
            return static_cast<long long>(v.v[0]);
        case PF_Param_COLOR: return json::array({v.v[1], v.v[2], v.v[3], v.v[0]});
        case PF_Param_POINT: return json::array({v.v[0], v.v[1]});
        case PF_Param_ARBITRARY_DATA:
            if (!v.data) return nullptr;
            return json{{"size", handles.size(v.data)}};
        default: return v.v[0];
    }
}

json defaultJson(const PF_ParamDef& d, const hostsim::Params& params, int index, const hostsim::HandleTable& h) {
    if (d.param_type == PF_Param_POINT)
        return json{{"percent", json::array({FIX_2_FLOAT(d.u.td.x_dephault), FIX_2_FLOAT(d.u.td.y_dephault)})}};
    if (d.param_type == PF_Param_FLOAT_SLIDER) return d.u.fs_d.dephault;
    return valueJson(d, params.defaultValue(index), h);
}

std::string defaultText(const PF_ParamDef& d) {
    switch (d.param_type) {
        case PF_Param_SLIDER: return std::to_string(d.u.sd.dephault);
        case PF_Param_FIX_SLIDER: return fmt(FIX_2_FLOAT(d.u.fd.dephault));
        case PF_Param_FLOAT_SLIDER: return fmt(d.u.fs_d.dephault);
        case PF_Param_ANGLE: return fmt(FIX_2_FLOAT(d.u.ad.dephault)) + " deg";
        case PF_Param_CHECKBOX: return d.u.bd.dephault ? "on" : "off";
        case PF_Param_POPUP: return std::to_string(d.u.pd.dephault);
        case PF_Param_POINT:
            return fmt(FIX_2_FLOAT(d.u.td.x_dephault)) + "%," + fmt(FIX_2_FLOAT(d.u.td.y_dephault)) + "%";
        case PF_Param_COLOR: {
            const PF_Pixel& c = d.u.cd.dephault;
            return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue) + "," +
                   std::to_string(c.alpha);
        }
        case PF_Param_LAYER: return d.u.ld.dephault == PF_LayerDefault_MYSELF ? "self" : "none";
        case PF_Param_PATH: return "none";
        case PF_Param_ARBITRARY_DATA: return d.u.arb_d.dephault ? "data" : "(none)";
        default: return "";
    }
}

}  // namespace

bool setUpParams(hostsim::Host& host, std::string* error) {
    if (PF_Err err = host.globalSetup()) {
        if (error) *error = "the effect's global setup failed: " + errorMeaning(err);
        return false;
    }
    if (PF_Err err = host.get<hostsim::Params>().setup()) {
        if (error) *error = "the effect could not register its parameters: " + errorMeaning(err);
        return false;
    }
    return true;
}

json paramsToJson(const hostsim::Params& params, A_Time time) {
    const hostsim::HandleTable& handles = hostsim::Host::current()->handles();
    json list = json::array();
    for (int i = 0; i < params.count(); ++i) {
        const PF_ParamDef& d = params.definition(i);
        json p;
        p["index"] = i;
        p["key"] = paramKeyOf(params, i);
        p["name"] = d.name;
        p["section"] = paramSectionOf(params, i);
        p["type"] = typeText(d.param_type);
        p["disk_id"] = d.uu.id;
        json flags = json::array();
        for (char c : flagLetters(d.flags)) flags.push_back(std::string(1, c));
        p["flags"] = flags;
        p["group"] = params.groupPath(i);
        if (d.ui_flags || d.ui_width || d.ui_height)
            p["ui"] = {{"flags", d.ui_flags}, {"width", d.ui_width}, {"height", d.ui_height}};
        if (hostsim::Params::hasValue(d.param_type)) {
            p["default"] = defaultJson(d, params, i, handles);
            p["value"] = valueJson(d, params.valueAt(i, time), handles);
            p["keyframes"] = params.keyframeCount(i);
        }
        if (isSlider(d.param_type)) {
            Ranges r = rangesOf(d);
            p["valid"] = {r.validMin, r.validMax};
            p["slider"] = {r.sliderMin, r.sliderMax};
            if (d.param_type != PF_Param_SLIDER) {
                p["precision"] = r.precision;
                p["display"] = r.percent ? "percent" : "none";
            }
        }
        if (d.param_type == PF_Param_FLOAT_SLIDER) p["curve_tolerance"] = d.u.fs_d.curve_tolerance;
        if (d.param_type == PF_Param_POPUP) p["items"] = params.popupItems(i);
        if (d.param_type == PF_Param_CHECKBOX) p["label"] = params.checkboxLabel(i);
        list.push_back(p);
    }
    return list;
}

namespace {

// Type names a user reads.
const char* friendlyType(PF_ParamType t) {
    switch (t) {
        case PF_Param_SLIDER: return "integer";
        case PF_Param_FIX_SLIDER:
        case PF_Param_FLOAT_SLIDER: return "number";
        case PF_Param_ANGLE: return "angle";
        case PF_Param_CHECKBOX: return "checkbox";
        case PF_Param_POPUP: return "choice";
        case PF_Param_POINT: return "point";
        case PF_Param_COLOR: return "colour";
        case PF_Param_LAYER: return "layer";
        case PF_Param_PATH: return "mask";
        case PF_Param_ARBITRARY_DATA: return "data";
        case PF_Param_GROUP_START: return "group";
        case PF_Param_GROUP_END: return "group end";
        default: return typeText(t);
    }
}

std::string rangeText(const hostsim::Params& params, int index) {
    const PF_ParamDef& d = params.definition(index);
    if (isSlider(d.param_type)) {
        Ranges r = rangesOf(d);
        return fmt(r.validMin) + " .. " + fmt(r.validMax) + (r.percent ? " %" : "");
    }
    switch (d.param_type) {
        case PF_Param_POPUP: {
            std::string s;
            int n = 0;
            for (const std::string& item : params.popupItems(index)) {
                ++n;
                if (item != "(-") s += (s.empty() ? "" : ", ") + std::to_string(n) + " " + item;
            }
            return s;
        }
        case PF_Param_ANGLE: return "degrees";
        case PF_Param_POINT: return "[x, y] pixels or {\"percent\": [x, y]}";
        case PF_Param_COLOR: return "#rrggbb or [r, g, b(, a)] 0 .. 255";
        case PF_Param_CHECKBOX: return "true, false";
        case PF_Param_LAYER: return "layer name or id, null";
        case PF_Param_PATH: return "mask id";
        case PF_Param_ARBITRARY_DATA: return "{\"texts\": [...]} or {\"hex\": \"...\"}";
        default: return "";
    }
}

}  // namespace

std::string paramSectionOf(const hostsim::Params& params, int index) {
    if (params.count() == int(paramKeys().size())) return paramSection(index);
    std::vector<std::string> path = params.groupPath(index);
    return path.empty() ? "" : path.back();
}

std::string paramKeyOf(const hostsim::Params& params, int index) {
    return params.count() == int(paramKeys().size()) ? paramKey(index) : "";
}

void printParamTable(const hostsim::Params& params, std::ostream& out) {
    auto row = [&](const std::string& idx, const std::string& key, const std::string& name, const std::string& type,
                   const std::string& def, const std::string& section, const std::string& range) {
        out << std::left << std::setw(5) << idx << std::setw(32) << key << ' ' << std::setw(30) << name << ' '
            << std::setw(9) << type << ' ' << std::setw(14) << def << ' ' << std::setw(16) << section << ' ' << range;
        out << "\n";
    };
    row("idx", "key", "name", "type", "default", "layout/group", "range or choices");
    for (int i = 0; i < params.count(); ++i) {
        const PF_ParamDef& d = params.definition(i);
        std::string name = d.name;
        if (i == 0)
            name = "(input layer)";
        else if (d.param_type == PF_Param_GROUP_END)
            name = "(end of group)";
        else if (d.param_type == PF_Param_CHECKBOX && name.empty())
            name = params.checkboxLabel(i);
        std::string def = defaultText(d);
        if (d.param_type == PF_Param_POPUP) {
            const std::vector<std::string> items = params.popupItems(i);
            const int n = d.u.pd.dephault;
            if (n >= 1 && std::size_t(n) <= items.size()) def = items[std::size_t(n - 1)];
        }
        const bool value = hostsim::Params::hasValue(d.param_type) && i > 0;
        row(std::to_string(i), value ? paramKeyOf(params, i) : "-", name, friendlyType(d.param_type), value ? def : "",
            paramSectionOf(params, i), value ? rangeText(params, i) : "");
    }
}

bool setUpScene(hostsim::Host& host, const std::string& scenePath, std::ostream& err, int* paramsSet) {
    std::string error;
    if (!setUpParams(host, &error)) {
        err << "vemaro-render: " << error << "\n";
        return false;
    }
    if (scenePath.empty()) return true;
    scene::Context context{host, scenePath, {}, 0};
    try {
        scene::applyFile(scenePath, context);
    } catch (const scene::Error& e) {
        err << "vemaro-render: " << e.what() << "\n";
        return false;
    }
    if (paramsSet) *paramsSet = context.paramsSet;
    return true;
}

int listParams(hostsim::Host& host, const std::string& scenePath, bool list, bool asJson, std::ostream& out,
               std::ostream& err) {
    int paramsSet = 0;
    if (!setUpScene(host, scenePath, err, &paramsSet)) return 1;
    if (!scenePath.empty() && !list) out << scenePath << ": " << paramsSet << " parameter(s) set\n";
    hostsim::Params& params = host.get<hostsim::Params>();
    const PF_InData& in = host.nextInData();
    if (list && asJson) {
        // One parameter per line.
        json all = paramsToJson(params, {in.current_time, in.time_scale});
        out << "[\n";
        for (std::size_t i = 0; i < all.size(); ++i) out << all[i].dump() << (i + 1 < all.size() ? ",\n" : "\n");
        out << "]\n";
    } else if (list) {
        printParamTable(params, out);
    }
    return reportMisuse(host, err, 0);
}

}  // namespace tools
