// glib names a struct member "signals", so Qt's keywords stay off in this file.
#define QT_NO_KEYWORDS
#include "LibsecretItemStore.h"

#include <libsecret/secret.h>

#include <functional>
#include <future>
#include <memory>
#include <thread>

namespace veloxa {

namespace {

const SecretSchema* schema() {
    static const SecretSchema s = {"net.veloxa.SecureItem",
                                   SECRET_SCHEMA_NONE,
                                   {
                                       {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {"accessible", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                       {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                   },
                                   0,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr};
    return &s;
}

// Runs a blocking libsecret call on its own thread and waits at most `deadline`. A call
// that overruns is cancelled and left to finish on its own; the caller gets `onTimeout`.
template <class R>
R withDeadline(std::chrono::milliseconds deadline, R onTimeout,
               std::function<R(GCancellable*)> work) {
    struct State {
        std::promise<R> promise;
        GCancellable* cancellable = g_cancellable_new();
        ~State() { g_object_unref(cancellable); }
    };
    auto state = std::make_shared<State>();
    auto future = state->promise.get_future();
    std::thread([state, work = std::move(work)] {
        state->promise.set_value(work(state->cancellable));
    }).detach();
    if (future.wait_for(deadline) == std::future_status::ready)
        return future.get();
    g_cancellable_cancel(state->cancellable);
    return onTimeout;
}

struct Attributes {
    std::string service, account;
    GHashTable* table() const {
        GHashTable* t = g_hash_table_new(g_str_hash, g_str_equal);
        g_hash_table_insert(t, const_cast<char*>("service"), const_cast<char*>(service.c_str()));
        g_hash_table_insert(t, const_cast<char*>("account"), const_cast<char*>(account.c_str()));
        return t;
    }
};

// The first item with these attributes; nullptr with status itemNotFound or failure.
SecretItem* searchItem(const Attributes& attrs, SecretSearchFlags flags, GCancellable* cancel,
                       SecureItemStore::Status* status) {
    GError* error = nullptr;
    GHashTable* table = attrs.table();
    GList* items = secret_service_search_sync(nullptr, schema(), table, flags, cancel, &error);
    g_hash_table_unref(table);
    if (error) {
        g_error_free(error);
        *status = SecureItemStore::Status::failure;
        return nullptr;
    }
    if (!items) {
        *status = SecureItemStore::Status::itemNotFound;
        return nullptr;
    }
    auto* item = SECRET_ITEM(g_object_ref(items->data));
    g_list_free_full(items, g_object_unref);
    *status = SecureItemStore::Status::success;
    return item;
}

} // namespace

LibsecretItemStore::LibsecretItemStore(std::chrono::milliseconds deadline) : m_deadline(deadline) {}

SecureItemStore::FindResult LibsecretItemStore::find(const QString& service,
                                                     const QString& account) {
    const Attributes attrs{service.toStdString(), account.toStdString()};
    return withDeadline<FindResult>(m_deadline, {Status::failure, {}}, [attrs](GCancellable* c) {
        Status status;
        // Loading without unlocking: a locked keyring reads as a failure, never a prompt.
        SecretItem* item = searchItem(attrs, SECRET_SEARCH_LOAD_SECRETS, c, &status);
        if (!item)
            return FindResult{status, {}};
        FindResult result{Status::failure, {}};
        if (SecretValue* value = secret_item_get_secret(item)) {
            gsize length = 0;
            const gchar* bytes = secret_value_get(value, &length);
            result = {Status::success, QByteArray(bytes, static_cast<qsizetype>(length))};
            secret_value_unref(value);
        }
        g_object_unref(item);
        return result;
    });
}

SecureItemStore::Status LibsecretItemStore::update(const QString& service, const QString& account,
                                                   const std::optional<QByteArray>& data,
                                                   const std::optional<QString>& label) {
    const Attributes attrs{service.toStdString(), account.toStdString()};
    const std::optional<std::string> bytes =
        data ? std::optional<std::string>(data->toStdString()) : std::nullopt;
    const std::optional<std::string> text =
        label ? std::optional<std::string>(label->toStdString()) : std::nullopt;
    return withDeadline<Status>(m_deadline, Status::failure, [=](GCancellable* c) {
        Status status;
        SecretItem* item = searchItem(attrs, SECRET_SEARCH_NONE, c, &status);
        if (!item)
            return status;
        if (secret_item_get_locked(item)) {
            g_object_unref(item);
            return Status::failure;
        }
        bool ok = true;
        GError* error = nullptr;
        if (bytes) {
            SecretValue* value = secret_value_new(bytes->data(), static_cast<gssize>(bytes->size()),
                                                  "application/octet-stream");
            ok = secret_item_set_secret_sync(item, value, c, &error);
            secret_value_unref(value);
        }
        if (ok && text)
            ok = secret_item_set_label_sync(item, text->c_str(), c, &error);
        if (error)
            g_error_free(error);
        g_object_unref(item);
        return ok ? Status::success : Status::failure;
    });
}

SecureItemStore::Status LibsecretItemStore::add(const QString& service, const QString& account,
                                                const QString& label, const QByteArray& data,
                                                Accessibility) {
    const std::string s = service.toStdString(), a = account.toStdString(), l = label.toStdString(),
                      bytes = data.toStdString();
    return withDeadline<Status>(m_deadline, Status::failure, [=](GCancellable* c) {
        // Only into a default collection that exists and is unlocked: storing anywhere else
        // would have the keyring ask for a password (to create or to unlock one), from a
        // background save nobody is waiting for. A failure keeps the session in memory.
        GError* error = nullptr;
        SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, c, &error);
        SecretCollection* collection =
            service ? secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT,
                                                       SECRET_COLLECTION_NONE, c, &error)
                    : nullptr;
        bool ok = false;
        if (collection && !secret_collection_get_locked(collection)) {
            GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
            g_hash_table_insert(attributes, const_cast<char*>("service"),
                                const_cast<char*>(s.c_str()));
            g_hash_table_insert(attributes, const_cast<char*>("account"),
                                const_cast<char*>(a.c_str()));
            g_hash_table_insert(attributes, const_cast<char*>("accessible"),
                                const_cast<char*>("afterFirstUnlockThisDeviceOnly"));
            SecretValue* value = secret_value_new(bytes.data(), static_cast<gssize>(bytes.size()),
                                                  "application/octet-stream");
            SecretItem* item = secret_item_create_sync(collection, schema(), attributes, l.c_str(),
                                                       value, SECRET_ITEM_CREATE_NONE, c, &error);
            ok = item != nullptr;
            if (item)
                g_object_unref(item);
            secret_value_unref(value);
            g_hash_table_unref(attributes);
        }
        if (collection)
            g_object_unref(collection);
        if (service)
            g_object_unref(service);
        if (error)
            g_error_free(error);
        return ok ? Status::success : Status::failure;
    });
}

} // namespace veloxa
