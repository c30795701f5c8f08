#include "Outcome.h"

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Succeeded:
        return "succeeded";
    case Outcome::Refused:
        return "refused";
    case Outcome::NoResponse:
        return "no-response";
    case Outcome::Abandoned:
        return "abandoned";
    case Outcome::PortError:
        return "port-error";
    case Outcome::Busy:
        return "busy";
    case Outcome::BadInput:
        return "bad-input";
    case Outcome::FileError:
        return "file-error";
    case Outcome::RuleRefused:
        return "rule-refused";
    }
    return "unknown";
}
