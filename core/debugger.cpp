#include "core/debugger.h"

namespace wenlo {

namespace {
std::string Dec(int value) { return std::to_string(value); }
}  // namespace

std::string Hex(int64_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    uint32_t v = uint32_t(value);
    std::string out;
    do {
        out.insert(out.begin(), kDigits[v & 0xF]);
        v >>= 4;
    } while (v != 0);
    return out;
}

std::string RegisterDump(const Machine& m, bool withCB) {
    std::string line4 = "Opcode=$" + Hex(m.CurrentOpcode);
    if (withCB && m.CurrentOpcode == 0xCB) line4 += " $" + Hex(m.CurrentCBOpcode);
    line4 += " LY=" + Dec(m.LY);
    return "AF=$" + Hex(GetAF(m)) + " BC=$" + Hex(GetBC(m)) + "\r\n" +  //
           "DE=$" + Hex(GetDE(m)) + " HL=$" + Hex(GetHL(m)) + "\r\n" +  //
           "PC=$" + Hex(m.regPC) + " SP=$" + Hex(m.regSP) + "\r\n" +    //
           line4 + "\r\n" +                                             //
           "LCDC=$" + Hex(m.LCDC) + " LYC=" + Dec(m.LYC) + "\r\n" +     //
           "IFF=$" + Hex(m.IF);
}

}  // namespace wenlo
