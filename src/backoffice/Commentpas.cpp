#include "backoffice/Commentpas.h"

#include "db/datamodulepos.h"
#include "platform/latin1.h"

#include <algorithm>

namespace {

// A remark is a text column: at most 65535 bytes. Longer remarks keep their beginning, cut on
// a whole character, rather than failing on a strict server.
QString fitRemark(const QString& text)
{
    constexpr int kMaxBytes = 65535;
    if (text.size() * 4 <= kMaxBytes || text.toUtf8().size() <= kMaxBytes)
        return text;
    QString cut = text;
    while (cut.toUtf8().size() > kMaxBytes)
        cut.chop(std::max<qsizetype>(1, (cut.toUtf8().size() - kMaxBytes) / 4));
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

QString dayCondition(TQuery& q, const QString& day)
{
    return S(" where sdate=") + q.quote(day);
}

// Writes the day's remark: a new row, or the old remark followed by the addition. Returns true
// when a remark was there already. Runs inside a transaction: the day's row (or its place, when
// there is none yet) stays locked until the end, so another administrator writing the same day
// waits and then extends what this one wrote.
bool writeRemark(TQuery& q, const QString& day, const QString& text, const QString& addition)
{
    q.exec(S("select sdate,scomment from comment") + dayCondition(q, day) + S(" for update"));
    if (q.isEmpty()) {
        q.exec(S("insert into comment(sdate,scomment) values(") + q.quote(day) + ',' + q.quote(fitRemark(text)) + ')');
        return false;
    }
    const QString extended = q.text(S("scomment")) + addition;
    q.exec(S("update comment set scomment=") + q.quote(fitRemark(extended)) + dayCondition(q, day));
    return true;
}

} // namespace

QString ShowComment(TDm& dm, const QString& day)
{
    TQuery& q = dm.MyQCom;
    q.exec(S("select sdate,scomment from comment") + dayCondition(q, day));
    return q.text(S("scomment"));
}

QString AddComment(TDm& dm, const QString& day, const QString& text)
{
    if (text.isEmpty())
        return S("Please Enter the Comment");
    TQuery& q = dm.MyQCom;
    // two administrators adding to a day's remark at once both find their text in it: one of them
    // waits for the other's row, or their first rows meet in a deadlock and one runs again
    const bool extended = InTransaction(
        q.connection(), Isolation::RepeatableRead, [&] { return writeRemark(q, day, text, QLatin1Char('.') + text); });
    return extended ? S("Comment updated Successfully...") : QString();
}

QString DeleteComment(TDm& dm, const QString& day)
{
    TQuery& q = dm.MyQCom;
    q.exec(S("select sdate from comment") + dayCondition(q, day));
    if (q.isEmpty())
        return S("No Comment is made on this Date.");
    q.exec(S("delete from comment") + dayCondition(q, day));
    return {};
}

QString NoteForcedUpdate(TDm& dm, const QString& day, const QString& itemName)
{
    TQuery& q = dm.MyQCom;
    return InTransaction(q.connection(), Isolation::RepeatableRead, [&] { return NoteForcedUpdate(q, day, itemName); });
}

QString NoteForcedUpdate(TQuery& q, const QString& day, const QString& itemName)
{
    // The apostrophes belong to the remark's wording.
    const QString first = S("'At Date: ") + day + S(" item: ") + itemName + S(" is forcibly Added and updated'");
    const QString more = S(", At Date:") + day + S(" item: ") + itemName + S(" is forcibly updated'");
    return writeRemark(q, day, first, more) ? S("Comment is Updated") : S("Comment is Added");
}
