#include "platform/errors.h"

#include <cxxabi.h>
#include <memory>
#include <typeinfo>

QString errorClassName(const std::exception& e)
{
    if (auto pe = dynamic_cast<const PosError*>(&e))
        return pe->className();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status), std::free);
    return QString::fromLatin1(status == 0 && demangled ? demangled.get() : typeid(e).name());
}

QString errorMessage(const std::exception& e)
{
    if (auto pe = dynamic_cast<const PosError*>(&e))
        return pe->message();
    return QString::fromLocal8Bit(e.what());
}
