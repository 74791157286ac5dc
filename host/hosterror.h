#pragma once

#include <QString>

#include <stdexcept>

// Every failure of a host operation reaches the system as this exception.
class HostError : public std::runtime_error
{
public:
    explicit HostError(const QString &message) : std::runtime_error(message.toStdString()) {}
};
