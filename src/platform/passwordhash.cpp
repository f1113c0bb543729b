#include "platform/passwordhash.h"

#include "platform/errors.h"

#include <sodium.h>

namespace {

unsigned long long g_opsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
size_t g_memLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;

void initialise()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw PosError(QStringLiteral("The password library could not be started"));
}

} // namespace

QString HashPassword(const QString& password)
{
    initialise();
    const QByteArray plain = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, plain.constData(), quint64(plain.size()), g_opsLimit, g_memLimit) != 0)
        throw PosError(QStringLiteral("Out of memory while a password was hashed"));
    return QString::fromLatin1(out);
}

bool IsPasswordHash(const QString& stored)
{
    return stored.startsWith(QLatin1String("$argon2"));
}

bool PasswordMatches(const QString& stored, const QString& typed)
{
    if (stored.isEmpty())
        return false;
    if (!IsPasswordHash(stored))
        return stored == typed;
    initialise();
    const QByteArray hash = stored.toLatin1();
    const QByteArray plain = typed.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), plain.constData(), quint64(plain.size())) == 0;
}

void SetPasswordHashCost(unsigned long long opsLimit, size_t memLimit)
{
    g_opsLimit = opsLimit;
    g_memLimit = memLimit;
}
