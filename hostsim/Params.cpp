#include "Params.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace hostsim {

// One registered parameter with its value.
struct Params::Slot {
    PF_ParamDef def{};
    std::string items;  // popup items, the host's copy
    std::string label;  // checkbox label, the host's copy
    int parent = -1;
    bool hasStatic = false;  // value set; else the default
    ParamValue value;
    std::vector<Keyframe> keys;
    bool hold = false;  // keys hold their value until the next one
};

bool timeLess(A_Time a, A_Time b) {
    return static_cast<int64_t>(a.value) * b.scale < static_cast<int64_t>(b.value) * a.scale;
}

double seconds(A_Time t) { return t.scale ? static_cast<double>(t.value) / t.scale : 0.0; }

namespace {

Host& host() { return *Host::current(); }
Params& params() { return host().get<Params>(); }

PF_Err cbAddParam(PF_ProgPtr, PF_ParamIndex index, PF_ParamDef* def) { return params().addParam(index, def); }
PF_Err cbRegisterUi(PF_ProgPtr, PF_CustomUIInfo* info) {
    if (PF_Err e = host().faults().hit("register_ui")) return e;
    return params().registerUi(info);
}
PF_Err cbCheckout(PF_ProgPtr, PF_ParamIndex index, A_long time, A_long step, A_u_long scale, PF_ParamDef* out) {
    if (PF_Err e = host().faults().hit("checkout_param")) return e;
    return params().checkout(index, time, step, scale, out);
}
PF_Err cbCheckin(PF_ProgPtr, PF_ParamDef* def) {
    if (PF_Err e = host().faults().hit("checkin_param")) return e;
    return params().checkin(def);
}
PF_Err cbSetOptionsButtonName(PF_ProgPtr, const A_char* name) {
    if (PF_Err e = host().faults().hit("PF_SetOptionsButtonName")) return e;
    return params().setOptionsButtonName(name);
}

bool linear(PF_ParamType t) {
    switch (t) {
        case PF_Param_SLIDER:
        case PF_Param_FIX_SLIDER:
        case PF_Param_FLOAT_SLIDER:
        case PF_Param_ANGLE:
        case PF_Param_POINT:
        case PF_Param_COLOR: return true;
        default: return false;  // popups, checkboxes, layers, paths, data hold until the next keyframe
    }
}

A_u_char channel(double v) { return static_cast<A_u_char>(std::lround(std::min(255.0, std::max(0.0, v)))); }

double scaleOf(PF_RationalScale s) { return s.den ? static_cast<double>(s.num) / s.den : 1.0; }

std::vector<std::string> splitItems(const std::string& items) {
    std::vector<std::string> out;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type bar = items.find('|', start);
        out.push_back(items.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return out;
}

template <class T>
std::string rangeProblem(T validMin, T validMax, T sliderMin, T sliderMax, T dephault) {
    std::ostringstream s;
    if (validMin > validMax)
        s << "valid range " << validMin << " .. " << validMax << " is reversed";
    else if (sliderMin > sliderMax)
        s << "slider range " << sliderMin << " .. " << sliderMax << " is reversed";
    else if (sliderMin < validMin || sliderMax > validMax)
        s << "slider range " << sliderMin << " .. " << sliderMax << " leaves the valid range " << validMin << " .. "
          << validMax;
    else if (!(dephault >= validMin && dephault <= validMax))
        s << "default " << dephault << " outside the valid range " << validMin << " .. " << validMax;
    return s.str();
}

}  // namespace

Params::Params() = default;
Params::~Params() = default;

void Params::violation(const std::string& what) const {
    if (host_) host_->addViolation(what);
}

void Params::install(Host& h) {
    host_ = &h;
    PF_InteractCallbacks& inter = h.nextInData().inter;
    inter.add_param = cbAddParam;
    inter.register_ui = cbRegisterUi;
    inter.checkout_param = cbCheckout;
    inter.checkin_param = cbCheckin;
    effectUi_.PF_SetOptionsButtonName = cbSetOptionsButtonName;
    h.suites().add(kPFEffectUISuite, kPFEffectUISuiteVersion1, &effectUi_);
}

void Params::beforeCommand(Host&, PF_Cmd cmd) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    inCommand_ = true;
    command_ = cmd;
    leaked_.clear();
    if (cmd == PF_Cmd_PARAMS_SETUP) {
        clear();
        addInputLayer();
    }
}

void Params::afterCommand(Host& h, PF_Cmd cmd) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    for (const Checkout& c : open_) {
        leaked_.push_back("parameter " + std::to_string(c.index) + " checked out and never checked in");
        if (c.layer && checkinLayer) checkinLayer(c.request);
    }
    open_.clear();
    if (cmd == PF_Cmd_PARAMS_SETUP) {
        reportedNumParams_ = h.outData().num_params;
        if (!refused_) {
            for (int g2 : openGroups_)
                violation("group \"" + std::string(slot(g2).def.name) + "\" (index " + std::to_string(g2) +
                          ") is never closed");
            if (reportedNumParams_ != count())
                violation("num_params is " + std::to_string(reportedNumParams_) + " but " + std::to_string(count()) +
                          " parameters were registered");
        } else if (reportedNumParams_ != 0 && reportedNumParams_ != count()) {
            violation("num_params is " + std::to_string(reportedNumParams_) + " after a refused registration of " +
                      std::to_string(count()) + " parameters");
        }
    }
    inCommand_ = false;
    command_ = -1;
}

void Params::commandLeaks(std::vector<std::string>& out) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    out.insert(out.end(), leaked_.begin(), leaked_.end());
}

PF_Err Params::setup() { return host_->send(PF_Cmd_PARAMS_SETUP); }

// ------------------------------------------------------------------ table
Params::Slot& Params::slot(int index) {
    if (index < 0 || index >= static_cast<int>(slots_.size()))
        throw std::out_of_range("no parameter " + std::to_string(index));
    return *slots_[static_cast<std::size_t>(index)];
}

const Params::Slot& Params::slot(int index) const { return const_cast<Params*>(this)->slot(index); }

int Params::count() const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return static_cast<int>(slots_.size());
}

const PF_ParamDef& Params::definition(int index) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return slot(index).def;
}

void Params::setUiFlags(int index, PF_ParamUIFlags flags) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    slot(index).def.ui_flags = flags;
}

std::vector<std::string> Params::popupItems(int index) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    const Slot& s = slot(index);
    if (s.def.param_type != PF_Param_POPUP) return {};
    return splitItems(s.items);
}

std::string Params::checkboxLabel(int index) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return slot(index).label;
}

int Params::parentGroup(int index) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return slot(index).parent;
}

std::vector<std::string> Params::groupPath(int index) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    std::vector<std::string> path;
    for (int p = slot(index).parent; p >= 0; p = slot(p).parent) path.insert(path.begin(), slot(p).def.name);
    return path;
}

const char* Params::typeName(PF_ParamType type) {
    switch (type) {
        case PF_Param_LAYER: return "LAYER";
        case PF_Param_SLIDER: return "SLIDER";
        case PF_Param_FIX_SLIDER: return "FIX_SLIDER";
        case PF_Param_ANGLE: return "ANGLE";
        case PF_Param_CHECKBOX: return "CHECKBOX";
        case PF_Param_COLOR: return "COLOR";
        case PF_Param_POINT: return "POINT";
        case PF_Param_POPUP: return "POPUP";
        case PF_Param_FLOAT_SLIDER: return "FLOAT_SLIDER";
        case PF_Param_ARBITRARY_DATA: return "ARBITRARY_DATA";
        case PF_Param_PATH: return "PATH";
        case PF_Param_GROUP_START: return "GROUP_START";
        case PF_Param_GROUP_END: return "GROUP_END";
        case PF_Param_BUTTON: return "BUTTON";
        default: return nullptr;
    }
}

bool Params::hasValue(PF_ParamType type) {
    return type != PF_Param_GROUP_START && type != PF_Param_GROUP_END && type != PF_Param_BUTTON;
}

bool Params::canVary(int index) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    const PF_ParamDef& d = slot(index).def;
    return index > 0 && hasValue(d.param_type) && d.param_type != PF_Param_PATH &&
           !(d.flags & PF_ParamFlag_CANNOT_TIME_VARY);
}

void Params::clear() {
    std::vector<PF_Handle> owned;
    for (const auto& s : slots_) {
        if (s->def.param_type != PF_Param_ARBITRARY_DATA) continue;
        owned.push_back(s->def.u.arb_d.dephault);
        owned.push_back(s->value.data);
        for (const Keyframe& k : s->keys) owned.push_back(k.value.data);
    }
    std::sort(owned.begin(), owned.end());
    owned.erase(std::unique(owned.begin(), owned.end()), owned.end());
    for (PF_Handle h : owned)
        if (h && host_->handles().valid(h)) host_->handles().dispose(h);
    slots_.clear();
    openGroups_.clear();
    open_.clear();
    refused_ = false;
    reportedNumParams_ = 0;
    uiRegistrations_ = 0;
    uiInfo_ = PF_CustomUIInfo{};
    optionsButtonName_.clear();
}

void Params::addInputLayer() {
    auto s = std::make_unique<Slot>();
    s->def.param_type = PF_Param_LAYER;
    s->def.u.ld.dephault = PF_LayerDefault_MYSELF;
    s->hasStatic = true;
    s->value.v[0] = kLayerSelf;
    slots_.push_back(std::move(s));
}

// ------------------------------------------------------------------ registration
std::string Params::validate(const PF_ParamDef& d) const {
    if (!std::memchr(d.name, 0, sizeof d.name)) return "name is not terminated within 32 bytes";
    if (!typeName(d.param_type)) return "unknown parameter type " + std::to_string(d.param_type);
    switch (d.param_type) {
        case PF_Param_SLIDER:
            return rangeProblem<long>(d.u.sd.valid_min, d.u.sd.valid_max, d.u.sd.slider_min, d.u.sd.slider_max,
                                      d.u.sd.dephault);
        case PF_Param_FIX_SLIDER:
            return rangeProblem<double>(FIX_2_FLOAT(d.u.fd.valid_min), FIX_2_FLOAT(d.u.fd.valid_max),
                                        FIX_2_FLOAT(d.u.fd.slider_min), FIX_2_FLOAT(d.u.fd.slider_max),
                                        FIX_2_FLOAT(d.u.fd.dephault));
        case PF_Param_FLOAT_SLIDER: {
            const PF_FloatSliderDef& f = d.u.fs_d;
            std::string r = rangeProblem<double>(f.valid_min, f.valid_max, f.slider_min, f.slider_max, f.dephault);
            if (r.empty() && (f.precision < 0 || f.precision > 6))
                r = "precision " + std::to_string(f.precision) + " outside 0 .. 6";
            return r;
        }
        case PF_Param_ANGLE:
            if (d.u.ad.valid_min != d.u.ad.valid_max &&
                (d.u.ad.dephault < d.u.ad.valid_min || d.u.ad.dephault > d.u.ad.valid_max))
                return "default angle outside its valid range";
            return {};
        case PF_Param_POPUP: {
            const PF_PopupDef& p = d.u.pd;
            if (!p.u_names) return "popup without items";
            std::size_t items = splitItems(p.u_names).size();
            if (p.num_choices < 1 || items != static_cast<std::size_t>(p.num_choices))
                return "popup has " + std::to_string(p.num_choices) + " choices but " + std::to_string(items) +
                       " items";
            if (p.dephault < 1 || p.dephault > p.num_choices)
                return "popup default " + std::to_string(p.dephault) + " outside 1 .. " + std::to_string(p.num_choices);
            return {};
        }
        case PF_Param_CHECKBOX:
            if (d.u.bd.dephault != 0 && d.u.bd.dephault != 1) return "checkbox default is neither 0 nor 1";
            return {};
        case PF_Param_ARBITRARY_DATA:
            if (d.u.arb_d.dephault && !host_->handles().valid(d.u.arb_d.dephault))
                return "default data is not a live handle";
            return {};
        default: return {};
    }
}

PF_Err Params::addParam(PF_ParamIndex index, const PF_ParamDef* def) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    // A refusal of the host is not a fault of the effect: the checks of a
    // complete table at the end of setup no longer apply.
    if (PF_Err e = host_->faults().hit("add_param")) {
        refused_ = true;
        return e;
    }
    auto refuse = [&](const std::string& why, PF_Err err) {
        violation("add_param: " + why);
        refused_ = true;
        return err;
    };
    if (command_ != PF_Cmd_PARAMS_SETUP) return refuse("called outside params setup", PF_Err_BAD_CALLBACK_PARAM);
    if (!def) return refuse("no definition", PF_Err_BAD_CALLBACK_PARAM);
    if (index != -1 && index != count())
        return refuse("index " + std::to_string(index) + " is neither -1 nor the next index", PF_Err_INVALID_INDEX);

    const int at = count();
    std::string problem = validate(*def);
    if (!problem.empty()) {
        std::string name(def->name, strnlen(def->name, sizeof def->name));
        violation("add_param: parameter " + std::to_string(at) + " \"" + name + "\": " + problem);
    }

    auto s = std::make_unique<Slot>();
    s->def = *def;
    s->def.name[sizeof s->def.name - 1] = 0;
    s->parent = openGroups_.empty() ? -1 : openGroups_.back();
    switch (def->param_type) {
        case PF_Param_POPUP:
            s->items = def->u.pd.u_names ? def->u.pd.u_names : "";
            s->def.u.pd.u_names = s->items.c_str();
            break;
        case PF_Param_CHECKBOX:
            s->label = def->u.bd.u_name ? def->u.bd.u_name : "";
            s->def.u.bd.u_name = s->label.c_str();
            break;
        case PF_Param_ARBITRARY_DATA:
            // The default record is the host's from now on; the value starts
            // as a copy of it.
            if (PF_Handle h = def->u.arb_d.dephault; h && host_->handles().valid(h)) {
                host_->handles().setHostOwned(h);
                s->hasStatic = true;
                s->value.data = copyHandle(h);
            } else {
                s->def.u.arb_d.dephault = nullptr;
            }
            break;
        case PF_Param_GROUP_START: openGroups_.push_back(at); break;
        case PF_Param_GROUP_END:
            if (openGroups_.empty())
                violation("add_param: group end at index " + std::to_string(at) + " without a group start");
            else
                openGroups_.pop_back();  // the end stays inside the group it closes
            break;
        default: break;
    }
    slots_.push_back(std::move(s));
    return PF_Err_NONE;
}

PF_Err Params::registerUi(const PF_CustomUIInfo* info) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    if (command_ != PF_Cmd_PARAMS_SETUP) violation("register_ui called outside params setup");
    if (!info) {
        violation("register_ui without a record");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    ++uiRegistrations_;
    uiInfo_ = *info;
    return PF_Err_NONE;
}

PF_Err Params::setOptionsButtonName(const A_char* name) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    if (!name) {
        violation("PF_SetOptionsButtonName without a name");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    optionsButtonName_ = name;
    return PF_Err_NONE;
}

PF_Handle Params::copyHandle(PF_Handle h) const {
    HandleTable& t = host_->handles();
    std::size_t n = t.size(h);
    PF_Handle c = t.create(n, true);
    if (c && n) std::memcpy(*c, *h, n);
    return c;
}

// ------------------------------------------------------------------ values
ParamFrame Params::frame() const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    const PF_InData& in = inCommand_ ? host_->inData() : host_->nextInData();
    return {in.width, in.height, in.downsample_x, in.downsample_y};
}

ParamValue Params::defaultValue(int index) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    const PF_ParamDef& d = slot(index).def;
    ParamValue v;
    switch (d.param_type) {
        case PF_Param_SLIDER: v.v[0] = d.u.sd.dephault; break;
        case PF_Param_FIX_SLIDER: v.v[0] = FIX_2_FLOAT(d.u.fd.dephault); break;
        case PF_Param_FLOAT_SLIDER: v.v[0] = d.u.fs_d.dephault; break;
        case PF_Param_ANGLE: v.v[0] = FIX_2_FLOAT(d.u.ad.dephault); break;
        case PF_Param_CHECKBOX: v.v[0] = d.u.bd.dephault; break;
        case PF_Param_POPUP: v.v[0] = d.u.pd.dephault; break;
        case PF_Param_PATH: v.v[0] = d.u.path_d.dephault; break;
        case PF_Param_LAYER: v.v[0] = d.u.ld.dephault == PF_LayerDefault_MYSELF ? kLayerSelf : kLayerNone; break;
        case PF_Param_COLOR: {
            const PF_Pixel& c = d.u.cd.dephault;
            v.v[0] = c.alpha, v.v[1] = c.red, v.v[2] = c.green, v.v[3] = c.blue;
            break;
        }
        case PF_Param_POINT: {
            // Point defaults are percentages of the layer.
            ParamFrame f = frame();
            v.v[0] = FIX_2_FLOAT(d.u.td.x_dephault) / 100.0 * f.width;
            v.v[1] = FIX_2_FLOAT(d.u.td.y_dephault) / 100.0 * f.height;
            break;
        }
        case PF_Param_ARBITRARY_DATA: v.data = d.u.arb_d.dephault; break;
        default: break;
    }
    return v;
}

ParamValue Params::valueAt(int index, A_Time time) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    const Slot& s = slot(index);
    if (s.keys.empty()) return s.hasStatic ? s.value : defaultValue(index);
    const std::vector<Keyframe>& k = s.keys;
    if (!timeLess(k.front().time, time)) return k.front().value;
    if (!timeLess(time, k.back().time)) return k.back().value;
    // The first keyframe after the time; the one before it is at or before it.
    auto next =
        std::upper_bound(k.begin(), k.end(), time, [](A_Time t, const Keyframe& key) { return timeLess(t, key.time); });
    const Keyframe& b = *next;
    const Keyframe& a = *(next - 1);
    if (s.hold || !linear(s.def.param_type)) return a.value;
    double f = (seconds(time) - seconds(a.time)) / (seconds(b.time) - seconds(a.time));
    ParamValue v = a.value;
    for (int i = 0; i < 4; ++i) v.v[i] = a.value.v[i] + (b.value.v[i] - a.value.v[i]) * f;
    return v;
}

void Params::setValue(int index, const ParamValue& value) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    Slot& s = slot(index);
    setKeyframes(index, {});
    if (s.def.param_type == PF_Param_ARBITRARY_DATA) {
        if (value.data) host_->handles().setHostOwned(value.data);
        if (s.value.data && s.value.data != value.data && host_->handles().valid(s.value.data))
            host_->handles().dispose(s.value.data);
    }
    s.value = value;
    s.hasStatic = true;
}

void Params::setHold(int index, bool hold) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    slot(index).hold = hold;
}

bool Params::hold(int index) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return slot(index).hold;
}

void Params::setKeyframes(int index, std::vector<Keyframe> keys) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    Slot& s = slot(index);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const Keyframe& a, const Keyframe& b) { return timeLess(a.time, b.time); });
    if (s.def.param_type == PF_Param_ARBITRARY_DATA) {
        for (const Keyframe& k : keys)
            if (k.value.data) host_->handles().setHostOwned(k.value.data);
        for (const Keyframe& old : s.keys) {
            bool kept = old.value.data == s.value.data;
            for (const Keyframe& k : keys) kept = kept || k.value.data == old.value.data;
            if (!kept && old.value.data && host_->handles().valid(old.value.data))
                host_->handles().dispose(old.value.data);
        }
    }
    s.keys = std::move(keys);
}

const std::vector<Keyframe>& Params::keyframes(int index) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return slot(index).keys;
}

std::string Params::checkValue(int index, const ParamValue& value) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    if (index == 0) return "the input layer is always the effect's own layer";
    const PF_ParamDef& d = slot(index).def;
    if (!hasValue(d.param_type)) return std::string("a ") + typeName(d.param_type) + " holds no value";
    for (double x : value.v)
        if (!std::isfinite(x)) return "value is not a finite number";
    const double x = value.v[0];
    auto integral = [](double v) { return std::floor(v) == v; };
    auto outside = [&](double lo, double hi) {
        std::ostringstream s;
        s << "value " << x << " outside the valid range " << lo << " .. " << hi;
        return s.str();
    };
    switch (d.param_type) {
        case PF_Param_SLIDER:
            if (!integral(x)) return "value must be an integer";
            if (x < d.u.sd.valid_min || x > d.u.sd.valid_max) return outside(d.u.sd.valid_min, d.u.sd.valid_max);
            return {};
        case PF_Param_FIX_SLIDER: {
            double lo = FIX_2_FLOAT(d.u.fd.valid_min), hi = FIX_2_FLOAT(d.u.fd.valid_max);
            if (x < lo || x > hi) return outside(lo, hi);
            return {};
        }
        case PF_Param_FLOAT_SLIDER: {
            double lo = d.u.fs_d.valid_min, hi = d.u.fs_d.valid_max;
            // The limits are single precision; compare in it so that a limit
            // written as a decimal is accepted.
            float fx = static_cast<float>(x);
            if (fx < d.u.fs_d.valid_min || fx > d.u.fs_d.valid_max) return outside(lo, hi);
            return {};
        }
        case PF_Param_ANGLE:
            if (d.u.ad.valid_min != d.u.ad.valid_max &&
                (x < FIX_2_FLOAT(d.u.ad.valid_min) || x > FIX_2_FLOAT(d.u.ad.valid_max)))
                return outside(FIX_2_FLOAT(d.u.ad.valid_min), FIX_2_FLOAT(d.u.ad.valid_max));
            if (std::fabs(x) > 32767) return "angle outside what 16.16 fixed point holds";
            return {};
        case PF_Param_CHECKBOX:
            if (x != 0 && x != 1) return "value must be on or off";
            return {};
        case PF_Param_POPUP:
            if (!integral(x) || x < 1 || x > d.u.pd.num_choices)
                return "choice must be an integer from 1 to " + std::to_string(d.u.pd.num_choices);
            return {};
        case PF_Param_COLOR:
            for (double c : value.v)
                if (!integral(c) || c < 0 || c > 255) return "colour channels must be integers from 0 to 255";
            return {};
        case PF_Param_POINT:
            if (std::fabs(value.v[0]) > 32767 || std::fabs(value.v[1]) > 32767)
                return "point outside what 16.16 fixed point holds";
            return {};
        case PF_Param_LAYER:
        case PF_Param_PATH:
            if (!integral(x) || x < 0 || x > 2147483647) return "id must be an integer from 0 to 2147483647";
            return {};
        case PF_Param_ARBITRARY_DATA:
            if (!value.data || !host_->handles().valid(value.data)) return "data must be a live handle";
            return {};
        default: return {};
    }
}

void Params::fill(int index, A_Time time, const ParamFrame& f, PF_ParamDef& out) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    const Slot& s = slot(index);
    out = s.def;
    out.uu.change_flags = PF_ChangeFlag_NONE;
    const ParamValue v = valueAt(index, time);
    switch (s.def.param_type) {
        case PF_Param_SLIDER: out.u.sd.value = static_cast<PF_ParamValue>(std::lround(v.v[0])); break;
        case PF_Param_FIX_SLIDER: out.u.fd.value = FLOAT2FIX(v.v[0]); break;
        case PF_Param_FLOAT_SLIDER: out.u.fs_d.value = v.v[0]; break;
        case PF_Param_ANGLE: out.u.ad.value = FLOAT2FIX(v.v[0]); break;
        case PF_Param_CHECKBOX: out.u.bd.value = v.v[0] != 0; break;
        case PF_Param_POPUP: out.u.pd.value = static_cast<PF_ParamValue>(std::lround(v.v[0])); break;
        case PF_Param_PATH: out.u.path_d.path_id = static_cast<PF_PathID>(idOf(v.v[0])); break;
        case PF_Param_COLOR:
            out.u.cd.value = {channel(v.v[0]), channel(v.v[1]), channel(v.v[2]), channel(v.v[3])};
            break;
        case PF_Param_POINT:
            // Layer pixels at the current downsample.
            out.u.td.x_value = FLOAT2FIX(v.v[0] * scaleOf(f.downsampleX));
            out.u.td.y_value = FLOAT2FIX(v.v[1] * scaleOf(f.downsampleY));
            break;
        case PF_Param_ARBITRARY_DATA: out.u.arb_d.value = v.data; break;
        case PF_Param_LAYER: {
            A_long dephault = out.u.ld.dephault;
            std::memset(&out.u.ld, 0, sizeof out.u.ld);
            out.u.ld.dephault = dephault;
            break;
        }
        default: break;
    }
}

ParamValue Params::read(int index, const PF_ParamDef& d, const ParamFrame& f) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    ParamValue v = valueAt(index, {0, 1});
    switch (slot(index).def.param_type) {
        case PF_Param_SLIDER: v.v[0] = d.u.sd.value; break;
        case PF_Param_FIX_SLIDER: v.v[0] = FIX_2_FLOAT(d.u.fd.value); break;
        case PF_Param_FLOAT_SLIDER: v.v[0] = d.u.fs_d.value; break;
        case PF_Param_ANGLE: v.v[0] = FIX_2_FLOAT(d.u.ad.value); break;
        case PF_Param_CHECKBOX: v.v[0] = d.u.bd.value ? 1 : 0; break;
        case PF_Param_POPUP: v.v[0] = d.u.pd.value; break;
        case PF_Param_PATH: v.v[0] = d.u.path_d.path_id; break;
        case PF_Param_COLOR:
            v.v[0] = d.u.cd.value.alpha, v.v[1] = d.u.cd.value.red, v.v[2] = d.u.cd.value.green,
            v.v[3] = d.u.cd.value.blue;
            break;
        case PF_Param_POINT:
            v.v[0] = FIX_2_FLOAT(d.u.td.x_value) / scaleOf(f.downsampleX);
            v.v[1] = FIX_2_FLOAT(d.u.td.y_value) / scaleOf(f.downsampleY);
            break;
        case PF_Param_ARBITRARY_DATA: v.data = d.u.arb_d.value; break;
        default: break;
    }
    return v;
}

// ------------------------------------------------------------------ commands
std::unique_ptr<ParamArray> Params::buildArray(A_Time time, const ParamFrame& f) const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    auto a = std::make_unique<ParamArray>();
    a->time_ = time;
    a->defs_.resize(slots_.size());
    for (int i = 0; i < count(); ++i) {
        fill(i, time, f, a->defs_[static_cast<std::size_t>(i)]);
        if (slot(i).def.param_type == PF_Param_LAYER && arrayLayer)
            arrayLayer(i, idOf(valueAt(i, time).v[0]), a->defs_[static_cast<std::size_t>(i)].u.ld);
    }
    for (PF_ParamDef& d : a->defs_) a->pointers_.push_back(&d);
    return a;
}

PF_Err Params::send(PF_Cmd cmd, void* extra, PF_LayerDef* output) {
    const PF_InData& next = host_->nextInData();
    const A_Time time{next.current_time, next.time_scale};
    const ParamFrame f = frame();
    std::unique_ptr<ParamArray> a = buildArray(time, f);
    // in_data tells the effect how long params[] is; tests that send their
    // own arrays set it themselves.
    const A_long before = host_->nextInData().num_params;
    host_->nextInData().num_params = a->size();
    PF_Err err = host_->send(cmd, extra, a->get(), output);
    host_->nextInData().num_params = before;
    if (cmd == PF_Cmd_PARAMS_SETUP) return err;  // the table the array was made from is gone
    std::lock_guard<std::recursive_mutex> g(mutex_);
    for (int i = 1; i < a->size() && i < count(); ++i) {
        if (!((*a)[i].uu.change_flags & PF_ChangeFlag_CHANGED_VALUE) || !hasValue(slot(i).def.param_type)) continue;
        ParamValue v = read(i, (*a)[i], f);
        Slot& s = slot(i);
        if (s.keys.empty()) {
            setValue(i, v);
            continue;
        }
        // A keyframed parameter changed at a time gets a keyframe there.
        std::vector<Keyframe> keys = s.keys;
        auto same = std::find_if(keys.begin(), keys.end(),
                                 [&](const Keyframe& k) { return !timeLess(k.time, time) && !timeLess(time, k.time); });
        if (same != keys.end())
            same->value = v;
        else
            keys.push_back({time, v});
        setKeyframes(i, std::move(keys));
    }
    return err;
}

PF_Err Params::checkout(PF_ParamIndex index, A_long time, A_long step, A_u_long scale, PF_ParamDef* out) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    if (!out) {
        violation("checkout_param without a definition to fill");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (index < 0 || index >= count()) {
        violation("checkout_param of index " + std::to_string(index) + " of " + std::to_string(count()));
        return PF_Err_INVALID_INDEX;
    }
    if (scale == 0) {
        violation("checkout_param with a time scale of 0");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    fill(index, {time, scale}, frame(), *out);
    Checkout c{out, index, false, {}};
    if (slot(index).def.param_type == PF_Param_LAYER) {
        c.layer = true;
        c.request = {index, idOf(valueAt(index, {time, scale}).v[0]), time, step, scale};
        if (checkoutLayer) {
            if (PF_Err err = checkoutLayer(c.request, out->u.ld)) return err;
        }
    }
    open_.push_back(c);
    return PF_Err_NONE;
}

PF_Err Params::checkin(PF_ParamDef* def) {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    auto it = std::find_if(open_.rbegin(), open_.rend(), [&](const Checkout& c) { return c.where == def; });
    if (it == open_.rend()) {
        violation("checkin_param of a definition that is not checked out");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (it->layer && checkinLayer) checkinLayer(it->request);
    open_.erase(std::next(it).base());
    return PF_Err_NONE;
}

int Params::outstandingCheckouts() const {
    std::lock_guard<std::recursive_mutex> g(mutex_);
    return static_cast<int>(open_.size());
}

}  // namespace hostsim
