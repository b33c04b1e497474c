#include "Faults.h"

#include <cstdlib>

namespace sim {

namespace {

bool ParseUnsigned(const std::string& s, std::uint64_t& v) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    if (s.size() > 18) return false;
    v = std::strtoull(s.c_str(), nullptr, 10);
    return true;
}

bool ParseInt(const std::string& s, int& v, int lo, int hi) {
    std::uint64_t u;
    if (!ParseUnsigned(s, u) || u < static_cast<std::uint64_t>(lo) || u > static_cast<std::uint64_t>(hi)) return false;
    v = static_cast<int>(u);
    return true;
}

bool ParseWhen(const std::string& text, std::vector<FaultRange>& out, std::string& error) {
    if (text == "all") return true;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        FaultRange r;
        if (!item.empty() && item[0] == 'p') {
            char* end = nullptr;
            r.Probability = std::strtod(item.c_str() + 1, &end);
            if (item.size() < 2 || !end || *end != '\0' || r.Probability < 0 || r.Probability > 1) {
                error = "bad probability '" + item + "' (use p0.25)";
                return false;
            }
        } else {
            const std::size_t dash = item.find('-');
            std::uint64_t a = 0, b = 0;
            if (dash == std::string::npos) {
                if (!ParseUnsigned(item, a) || a == 0) {
                    error = "bad reply number '" + item + "'";
                    return false;
                }
                r.From = r.To = a;
            } else {
                if (!ParseUnsigned(item.substr(0, dash), a) || a == 0) {
                    error = "bad reply range '" + item + "'";
                    return false;
                }
                r.From = a;
                const std::string rest = item.substr(dash + 1);
                if (!rest.empty()) {
                    if (!ParseUnsigned(rest, b) || b < a) {
                        error = "bad reply range '" + item + "'";
                        return false;
                    }
                    r.To = b;
                }
            }
        }
        out.push_back(r);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

}  // namespace

std::optional<Fault> ParseFault(const std::string& faultText, std::string& error) {
    Fault f;
    f.Text = faultText;
    std::string body = faultText;
    const std::size_t slash = body.find('/');
    if (slash != std::string::npos) {
        if (!ParseInt(body.substr(slash + 1), f.Command, 0, 127)) {
            error = "bad command after '/' in '" + faultText + "'";
            return std::nullopt;
        }
        body.resize(slash);
    }
    const std::size_t at = body.find('@');
    if (at != std::string::npos) {
        if (!ParseWhen(body.substr(at + 1), f.When, error)) return std::nullopt;
        body.resize(at);
    }
    std::string kind = body, arg;
    const std::size_t eq = body.find('=');
    if (eq != std::string::npos) {
        kind = body.substr(0, eq);
        arg = body.substr(eq + 1);
    }
    auto need = [&](int lo, int hi, int def, const char* what) -> bool {
        if (arg.empty()) {
            if (def < 0) {
                error = std::string("fault '") + kind + "' needs " + what;
                return false;
            }
            f.Arg = def;
            return true;
        }
        if (!ParseInt(arg, f.Arg, lo, hi)) {
            error = std::string("bad ") + what + " '" + arg + "' for fault '" + kind + "'";
            return false;
        }
        return true;
    };
    bool ok = true;
    if (kind == "noise") { f.Kind = FaultKind::Noise; ok = need(1, 1000000, 5, "a byte count"); }
    else if (kind == "badcrc") { f.Kind = FaultKind::BadCrc; ok = arg.empty() || (error = "badcrc takes no value", false); }
    else if (kind == "lost") { f.Kind = FaultKind::Lost; ok = arg.empty() || (error = "lost takes no value", false); }
    else if (kind == "deaf") { f.Kind = FaultKind::Deaf; ok = arg.empty() || (error = "deaf takes no value", false); }
    else if (kind == "error") { f.Kind = FaultKind::Error; ok = need(0, 255, -1, "an error code 0-255"); }
    else if (kind == "delay") { f.Kind = FaultKind::Delay; ok = need(0, 600000, -1, "a pause in ms"); }
    else if (kind == "pace") { f.Kind = FaultKind::Pace; ok = need(50, 4000000, -1, "a baud rate"); }
    else if (kind == "truncate") { f.Kind = FaultKind::Truncate; ok = need(0, 1000, 2, "a byte count"); }
    else if (kind == "reply") { f.Kind = FaultKind::WrongCommand; ok = need(0, 255, -1, "a command code"); }
    else if (kind == "split") {
        f.Kind = FaultKind::Split;
        const std::size_t colon = arg.find(':');
        std::string parts;
        if (colon != std::string::npos) {
            parts = arg.substr(colon + 1);
            arg.resize(colon);
        }
        ok = need(0, 600000, 50, "a pause in ms");
        if (ok && !parts.empty() && !ParseInt(parts, f.Parts, 2, 1000)) {
            error = "bad piece count '" + parts + "' for fault 'split'";
            ok = false;
        }
    } else {
        error = "unknown fault '" + kind + "'";
        return std::nullopt;
    }
    if (!ok) return std::nullopt;
    return f;
}

void FaultSet::Add(Fault f) {
    f.Base = replies_;
    f.BaseForCommand = f.Command >= 0 ? perCommand_[f.Command] : 0;
    faults_.push_back(std::move(f));
}

FaultPlan FaultSet::Next(int requestCommand) {
    ++replies_;
    if (requestCommand >= 0 && requestCommand < 256) ++perCommand_[requestCommand];
    FaultPlan plan;
    for (const auto& f : faults_) {
        if (f.Command >= 0 && f.Command != requestCommand) continue;
        const std::uint64_t n = f.Command >= 0 ? perCommand_[f.Command] - f.BaseForCommand : replies_ - f.Base;
        bool hit = f.When.empty();
        for (const auto& r : f.When) {
            if (r.Probability >= 0) {
                // One draw per reply and range, so a run repeats itself with the same seed.
                std::uniform_real_distribution<double> u(0.0, 1.0);
                if (u(rng_) < r.Probability) hit = true;
            } else if (n >= r.From && n <= r.To) {
                hit = true;
            }
        }
        if (!hit) continue;
        plan.Applied.push_back(f.Text);
        switch (f.Kind) {
            case FaultKind::Noise: plan.NoiseBytes += f.Arg; break;
            case FaultKind::BadCrc: plan.BadCrc = true; break;
            case FaultKind::Lost: plan.Lost = true; break;
            case FaultKind::Deaf: plan.Deaf = true; break;
            case FaultKind::Error: plan.ErrorCode = f.Arg; break;
            case FaultKind::Split: plan.SplitPauseMs = f.Arg; plan.SplitParts = f.Parts; break;
            case FaultKind::Delay: plan.DelayMs += f.Arg; break;
            case FaultKind::Pace: plan.PaceBaud = f.Arg; break;
            case FaultKind::Truncate: plan.TruncateTo = f.Arg; break;
            case FaultKind::WrongCommand: plan.WrongCommand = f.Arg; break;
        }
    }
    return plan;
}

const char* FaultHelp() {
    return R"(Faults (--fault FAULT, repeatable; also "fault FAULT" on the control channel):
  FAULT is KIND[=ARG][@WHEN][/CMD]
  KIND:
    noise[=N]       N garbage bytes (default 5, never 0x7E) before the reply frame
    badcrc          the reply's frame checksum is wrong
    lost            the request is carried out but no reply is sent
    deaf            the request is ignored: nothing is carried out, nothing is sent
    error=CODE      the request is refused with an error reply (command 1) of CODE:
                    0 error, 1 area not supported, 2 EEPROM, 3 parameter, 4 block
                    checksum, 5 access denied
    split[=MS[:N]]  the reply is sent in N pieces (default 2) with MS ms pauses (default 50)
    delay=MS        the reply is sent MS ms late
    pace=BAUD       the reply is sent at BAUD (10 bits per byte)
    truncate[=N]    only the first N bytes (default 2) of the reply frame are sent
    reply=CMD       the reply carries command code CMD instead of its own
  WHEN (which replies; default all):
    K               reply number K (1 = the first reply)
    K-M, K-         replies K to M, reply K and every later one
    pX              each reply with probability X (0..1), drawn from --seed
    a,b,...         any of the above
  /CMD counts and hits only the replies to requests of command CMD (decimal).
  Replies are numbered from 1 in the order the meter would send them; a reset
  (command 2) gets no reply and no number. A fault given on the control channel
  counts from the next reply on. Several faults may hit one reply.
  Examples:
    --fault lost@1-2/6      the first two replies to area reads are lost, the third goes through
    --fault error=5@1-5     the first five replies are "access denied"
    --fault noise=8 --fault badcrc@2 --fault lost@3
)";
}

}  // namespace sim
