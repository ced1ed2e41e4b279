#include "call_output.h"

std::string FormatError(int svcNum, int result, CVorantError& err) {
    std::string out;
    if (svcNum >= 0)
        out = (result == -4 ? "rejected: service " : "failed: service ") + std::to_string(svcNum) + " returned " +
              std::to_string(result) + "\n";
    else
        out = "failed: initialisation returned " + std::to_string(result) + "\n";
    out += "  code      : " + std::to_string(err.GetCode()) + "\n";
    out += "  text      : " + std::string(err.GetText().ToStr()) + "\n";
    out += "  refSvcNum : " + std::to_string(err.GetRefSvcNum()) + "\n";
    return out;
}

std::string FormatAnswer(CMsg& answer, bool asXml) {
    CStream stream;
    if (asXml)
        answer.ToXml(&stream, false, true, 1);
    else
        answer.Dump(&stream, false, 1);
    std::string out = stream.GetData() ? std::string(stream.GetData(), static_cast<size_t>(stream.GetSize())) : "";
    if (out.empty() || out.back() != '\n')
        out += '\n';
    return out;
}
