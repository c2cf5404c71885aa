#include "Messages.h"

namespace tools {

std::string errorMeaning(PF_Err err) {
    switch (err) {
        case PF_Err_NONE: return "no error";
        case PF_Err_OUT_OF_MEMORY: return "out of memory";
        case PF_Err_INTERNAL_STRUCT_DAMAGED: return "the effect found its data damaged";
        case PF_Err_INVALID_INDEX: return "a parameter or layer index out of range";
        case PF_Err_UNRECOGNIZED_PARAM_TYPE: return "a parameter of a type the effect does not know";
        case PF_Err_INVALID_CALLBACK: return "the host lacks a function the effect needs";
        case PF_Err_BAD_CALLBACK_PARAM: return "the host refused a call the effect made";
        case PF_Interrupt_CANCEL: return "the render was cancelled";
        case PF_Err_CANNOT_PARSE_KEYFRAME_TEXT: return "keyframe text that cannot be read";
        default: return "error " + std::to_string(err);
    }
}

int reportMisuse(const hostsim::Host& host, std::ostream& err, int status) {
    for (const std::string& v : host.violations()) err << "vemaro-render: the effect misused the host: " << v << "\n";
    return host.violations().empty() ? status : 1;
}

}  // namespace tools
