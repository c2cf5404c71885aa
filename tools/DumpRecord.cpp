#include "DumpRecord.h"

#include "ParametersFields.h"

#include <charconv>
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

void printRecord(const Parameters& p, std::ostream& out) { visitFields(p, Printer{out}); }
