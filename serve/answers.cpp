#include "serve/answers.h"

namespace stampctl_serve {

namespace {

Outcome own(int code, const char* message, std::string detail)
{
    Outcome outcome = stampctl_shapes::failure(code);
    outcome.message = message;
    outcome.detail = std::move(detail);
    return outcome;
}

bool between(int code, int from, int to) { return code >= from && code <= to; }

}  // namespace

int httpStatusOf(int code)
{
    switch (code) {
    case 0: return 200;
    case kCodeUnauthorized: return 401;
    case kCodeForbidden: return 403;
    case kCodeNotFound: return 404;
    case kCodeTooLarge: return 413;
    case kCodeBusy: return 409;
    // clang-format off
    // The link: the machine is absent or went away.
    case -90: case -100: case -400: case -401: case -402: return 503;
    // What the machine's state refuses until someone acts on it.
    case -101: case -102: case -200: case -207: case -500: case -606: case -610: case -611:
    case -8009: case -8014: case -8015: case -8016: return 409;
    // clang-format on
    case -8007: return 504;
    case -206: return 500;
    default: break;
    }
    if (between(code, -94, -91) || code == -203 || code == -204 || between(code, -305, -300) ||
        between(code, -506, -501) || code == -604 || code == -605)
        return 400;
    return 502;  // a fault the machine or a camera reports
}

Outcome unauthorized(std::string detail)
{
    return own(kCodeUnauthorized, "未授权，请提供有效的令牌", std::move(detail));
}
Outcome forbidden(std::string detail) { return own(kCodeForbidden, "无权执行该操作", std::move(detail)); }
Outcome notFound(std::string detail) { return own(kCodeNotFound, "请求的资源不存在", std::move(detail)); }
Outcome tooLarge() { return own(kCodeTooLarge, "请求内容过大", "the body is larger than 64 KB"); }
Outcome busy() { return own(kCodeBusy, "", "more operations are waiting than the machine queues"); }
Outcome badRequest(std::string detail) { return own(kCodeBadArgument, "", std::move(detail)); }

}  // namespace stampctl_serve
