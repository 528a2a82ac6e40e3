// How a result code travels over HTTP: the status that goes with it, and the service's own codes
// for refusals the library has no code for.
#pragma once

#include "shapes/outcome.h"

namespace stampctl_serve {

using stampctl_shapes::Outcome;

constexpr int kCodeBadArgument = -91;
constexpr int kCodeNoPhoto = -207;
constexpr int kCodeBusy = -8008;
constexpr int kCodeUnauthorized = -9401;
constexpr int kCodeForbidden = -9403;
constexpr int kCodeNotFound = -9404;
constexpr int kCodeTooLarge = -9413;

// The HTTP status of a result code: one table for every answer.
int httpStatusOf(int code);

// Refusals of the service itself, each with its message and what is wrong in words.
Outcome unauthorized(std::string detail);
Outcome forbidden(std::string detail);
Outcome notFound(std::string detail);
Outcome tooLarge();
Outcome busy();
Outcome badRequest(std::string detail);

}  // namespace stampctl_serve
