#include "DumpRecord.h"

#include "Comp.h"
#include "Messages.h"
#include "ParamList.h"
#include "ParametersFields.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The shortest text that reads back as the same number.
std::string num(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}
std::string num(float v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

struct Printer {
    std::ostream& out;
    void line(const std::string& name, const std::string& value) { out << name << " = " << value << "\n"; }
    void operator()(const std::string& n, int32_t v) { line(n, std::to_string(v)); }
    void operator()(const std::string& n, uint8_t v) { line(n, std::to_string(v)); }
    void operator()(const std::string& n, double v) { line(n, num(v)); }
    void operator()(const std::string& n, const Vector& v) { line(n, "(" + num(v.x) + ", " + num(v.y) + ")"); }
    void operator()(const std::string& n, const Color& c) {
        line(n, "{" + num(c.alpha) + ", " + num(c.red) + ", " + num(c.green) + ", " + num(c.blue) + "}");
    }
    void operator()(const std::string& n, const Easing& e) {
        line(n, "{type " + std::to_string(e.type) + ", mode " + std::to_string(e.mode) + "}");
    }
    void operator()(const std::string& n, const PF_LayerDef* l) { line(n, l ? "layer" : "none"); }
    void operator()(const std::string& n, const PF_LRect& r) {
        line(n, "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
                    std::to_string(r.bottom) + ")");
    }
    void operator()(const std::string& n, const A_Time& t) {
        line(n, std::to_string(t.value) + "/" + std::to_string(t.scale));
    }
};

}  // namespace

namespace tools {

void printRecord(const Parameters& p, std::ostream& out) { visitFields(p, Printer{out}); }

bool parseFrame(const char* text, long& frame, std::ostream& err) {
    char* end = nullptr;
    long v = text ? std::strtol(text, &end, 10) : -1;
    if (!text || *text == '\0' || *end != '\0' || v < 0 || v > 1000000000L) {
        err << "vemaro-render: --dump-record needs a frame number (0 or more)\n";
        return false;
    }
    frame = v;
    return true;
}

int dumpRecord(hostsim::Host& host, const std::string& scenePath, long frame, std::ostream& out, std::ostream& err) {
    if (!setUpScene(host, scenePath, err)) return 1;
    if (PF_Err e = host.sequenceSetup()) {
        err << "vemaro-render: the effect could not set up the sequence: " << errorMeaning(e) << "\n";
        return 1;
    }
    hostsim::Comp& comp = host.get<hostsim::Comp>();
    comp.setFrame(frame);
    hostsim::PreRenderCall call = comp.preRender();
    int status = 0;
    if (call.err) {
        err << "vemaro-render: frame " << frame << " failed in pre-render: " << errorMeaning(call.err) << "\n";
        status = 1;
    } else if (PF_Handle h = static_cast<PF_Handle>(call.output.pre_render_data)) {
        Parameters p;
        std::memcpy(static_cast<void*>(&p), host.handles().lock(h), sizeof p);
        host.handles().unlock(h);
        printRecord(p, out);
    } else {
        err << "vemaro-render: pre-render of frame " << frame << " left no record\n";
        status = 1;
    }
    comp.releasePreRenderData(call);
    host.sequenceSetdown();
    host.globalSetdown();
    return reportMisuse(host, err, status);
}

}  // namespace tools
