#include "ExitCodes.h"

int ExitCode::forOutcome(Outcome outcome) {
    switch (outcome) {
    case Outcome::Succeeded:
        return kSucceeded;
    case Outcome::Refused:
        return kRefused;
    case Outcome::NoResponse:
        return kNoResponse;
    case Outcome::FileError:
        return kFileError;
    case Outcome::BadInput:
    case Outcome::Busy:
        return kUsage;
    case Outcome::PortError:
        return kPortError;
    case Outcome::RuleRefused:
        return kRuleRefused;
    case Outcome::Abandoned:
        return kInterrupted;
    }
    return kUsage;
}
