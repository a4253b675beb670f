#pragma once

#include "requesterror.h"

#include <QtGlobal>

#include <utility>
#include <variant>

// The outcome of one backend request: the decoded record, or the error that stopped it.
template<typename T> class RequestResult
{
public:
    RequestResult(T value)
        : m_outcome(std::in_place_index<0>, std::move(value))
    { }

    RequestResult(RequestError error)
        : m_outcome(std::in_place_index<1>, std::move(error))
    { }

    [[nodiscard]] bool ok() const { return m_outcome.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only valid when ok().
    [[nodiscard]] const T &value() const
    {
        Q_ASSERT(ok());
        return *std::get_if<0>(&m_outcome);
    }
    [[nodiscard]] T &value()
    {
        Q_ASSERT(ok());
        return *std::get_if<0>(&m_outcome);
    }

    // Only valid when !ok().
    [[nodiscard]] const RequestError &error() const
    {
        Q_ASSERT(!ok());
        return *std::get_if<1>(&m_outcome);
    }

private:
    std::variant<T, RequestError> m_outcome;
};
