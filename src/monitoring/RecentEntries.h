#pragma once

#include "db/MemTable.h"
#include "db/Query.h"

#include <string>
#include <string_view>

namespace vek {

class StationContext;
class ProductPictures;

/// The list of the most recent production entries announced over the network, newest first, with
/// what the database knows of each: `cdsUltEnt`. Runs on the user-interface thread.
class RecentEntries {
public:
    RecentEntries(StationContext& ctx, ProductPictures& pictures);

    /// Empties the list and fixes how many entries it keeps.
    void Start(int capacity);
    bool started() const { return m_started; }
    int capacity() const { return m_capacity; }

    /// One received datagram. Anything wrong with it, or a database error while its entry is looked
    /// up, ends its handling without a word; the list then stays as it was. Never throws.
    void HandleDatagram(std::string_view bytes) noexcept;

    /// Looks the entry up and puts it on top, dropping the oldest beyond the capacity. The entry is
    /// added only once it is complete: a database error raises and leaves the list as it was.
    void AddRecentEntry(const std::string& prog, const std::string& ficha);

    /// Shown by the side panel; rows in list order.
    db::MemTable cdsUltEnt{"cdsUltEnt"};

private:
    StationContext& m_ctx;
    ProductPictures& m_pictures;
    db::Query sqlUltEnt;
    int m_capacity = 0;
    bool m_started = false;
};

} // namespace vek
