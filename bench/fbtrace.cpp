// Which client calls an action makes, and how long each waited on the server: preloaded into a
// benchmark (LD_PRELOAD=build/bench/libfbtrace.so), it writes one line per call of the Firebird
// client library to stderr, "fb <ms> <call> [statement text]". Behind the latency proxy every call
// that took about one delay is one round trip, so the lines say which statements an action runs and
// what each costs. Only the calls Qt's driver makes are wrapped.
#include <ibase.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <utility>

namespace {

template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

struct Timed {
    explicit Timed(const char* c, std::string t = {})
        : call(c)
        , text(std::move(t)) {}
    const char* call;
    std::string text;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ~Timed() {
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "fb %7.1f %s %s\n", ms, call, text.c_str());
    }
};

} // namespace

extern "C" {

ISC_STATUS ISC_EXPORT isc_dsql_prepare(ISC_STATUS* s, isc_tr_handle* t, isc_stmt_handle* h, unsigned short n,
                                       const ISC_SCHAR* sql, unsigned short d, XSQLDA* x) {
    static auto f = next<decltype(&isc_dsql_prepare)>("isc_dsql_prepare");
    Timed timed{"prepare", n ? std::string(sql, n) : std::string(sql)};
    return f(s, t, h, n, sql, d, x);
}

ISC_STATUS ISC_EXPORT isc_dsql_execute(ISC_STATUS* s, isc_tr_handle* t, isc_stmt_handle* h, unsigned short d,
                                       const XSQLDA* x) {
    static auto f = next<decltype(&isc_dsql_execute)>("isc_dsql_execute");
    Timed timed{"execute"};
    return f(s, t, h, d, x);
}

ISC_STATUS ISC_EXPORT isc_dsql_execute2(ISC_STATUS* s, isc_tr_handle* t, isc_stmt_handle* h, unsigned short d,
                                        const XSQLDA* in, const XSQLDA* out) {
    static auto f = next<decltype(&isc_dsql_execute2)>("isc_dsql_execute2");
    Timed timed{"execute2"};
    return f(s, t, h, d, in, out);
}

ISC_STATUS ISC_EXPORT isc_dsql_fetch(ISC_STATUS* s, isc_stmt_handle* h, unsigned short d, const XSQLDA* x) {
    static auto f = next<decltype(&isc_dsql_fetch)>("isc_dsql_fetch");
    const auto start = std::chrono::steady_clock::now();
    const ISC_STATUS r = f(s, h, d, x);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (ms > 0.5) std::fprintf(stderr, "fb %7.1f fetch\n", ms); // rows already buffered cost nothing
    return r;
}

ISC_STATUS ISC_EXPORT isc_dsql_free_statement(ISC_STATUS* s, isc_stmt_handle* h, unsigned short o) {
    static auto f = next<decltype(&isc_dsql_free_statement)>("isc_dsql_free_statement");
    Timed timed{o == DSQL_drop ? "free(drop)" : "free(close)"};
    return f(s, h, o);
}

ISC_STATUS ISC_EXPORT isc_dsql_sql_info(ISC_STATUS* s, isc_stmt_handle* h, short n, const ISC_SCHAR* items,
                                        short m, ISC_SCHAR* buffer) {
    static auto f = next<decltype(&isc_dsql_sql_info)>("isc_dsql_sql_info");
    Timed timed{"sql_info"};
    return f(s, h, n, items, m, buffer);
}

ISC_STATUS ISC_EXPORT isc_dsql_describe_bind(ISC_STATUS* s, isc_stmt_handle* h, unsigned short d, XSQLDA* x) {
    static auto f = next<decltype(&isc_dsql_describe_bind)>("isc_dsql_describe_bind");
    Timed timed{"describe_bind"};
    return f(s, h, d, x);
}

ISC_STATUS ISC_EXPORT isc_dsql_describe(ISC_STATUS* s, isc_stmt_handle* h, unsigned short d, XSQLDA* x) {
    static auto f = next<decltype(&isc_dsql_describe)>("isc_dsql_describe");
    Timed timed{"describe"};
    return f(s, h, d, x);
}

ISC_STATUS ISC_EXPORT isc_dsql_allocate_statement(ISC_STATUS* s, isc_db_handle* db, isc_stmt_handle* h) {
    static auto f = next<decltype(&isc_dsql_allocate_statement)>("isc_dsql_allocate_statement");
    Timed timed{"allocate"};
    return f(s, db, h);
}

ISC_STATUS ISC_EXPORT isc_commit_transaction(ISC_STATUS* s, isc_tr_handle* t) {
    static auto f = next<decltype(&isc_commit_transaction)>("isc_commit_transaction");
    Timed timed{"commit"};
    return f(s, t);
}

ISC_STATUS ISC_EXPORT isc_rollback_transaction(ISC_STATUS* s, isc_tr_handle* t) {
    static auto f = next<decltype(&isc_rollback_transaction)>("isc_rollback_transaction");
    Timed timed{"rollback"};
    return f(s, t);
}

ISC_STATUS ISC_EXPORT isc_open_blob2(ISC_STATUS* s, isc_db_handle* db, isc_tr_handle* t, isc_blob_handle* b,
                                     ISC_QUAD* id, ISC_USHORT n, const ISC_UCHAR* bpb) {
    static auto f = next<decltype(&isc_open_blob2)>("isc_open_blob2");
    Timed timed{"open_blob"};
    return f(s, db, t, b, id, n, bpb);
}

ISC_STATUS ISC_EXPORT isc_get_segment(ISC_STATUS* s, isc_blob_handle* b, unsigned short* l, unsigned short n,
                                      ISC_SCHAR* buffer) {
    static auto f = next<decltype(&isc_get_segment)>("isc_get_segment");
    Timed timed{"get_segment"};
    return f(s, b, l, n, buffer);
}

ISC_STATUS ISC_EXPORT isc_close_blob(ISC_STATUS* s, isc_blob_handle* b) {
    static auto f = next<decltype(&isc_close_blob)>("isc_close_blob");
    Timed timed{"close_blob"};
    return f(s, b);
}

// The driver starts every transaction on one database: the variable part is the database handle,
// the length and the parameter block of that one.
ISC_STATUS ISC_EXPORT_VARARG isc_start_transaction(ISC_STATUS* s, isc_tr_handle* t, short count, ...) {
    using Start = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, short, ...);
    static auto f = next<Start>("isc_start_transaction");
    va_list args;
    va_start(args, count);
    isc_db_handle* db = va_arg(args, isc_db_handle*);
    const int length = va_arg(args, int);
    const ISC_SCHAR* tpb = va_arg(args, const ISC_SCHAR*);
    va_end(args);
    Timed timed{"start"};
    return f(s, t, count, db, length, tpb);
}

} // extern "C"
