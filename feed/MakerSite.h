#pragma once

#include <QString>

// The maker's own web site: downloads never send credentials to an address that contains
// it, and its pages may receive those of the maker's own channels.
inline constexpr char makerSiteAddress[] = "http://kolvani.pl";

// True for an address on the maker's site: the host itself or one of its subdomains, not a
// mention of the name anywhere in the address.
bool IsMakerSiteAddress(const QString &address);

// The address of a page of the maker's site with the channel's credentials appended
// ("?UserName=...&Password=..." or "&UserName=..." after a query), or a null string when
// nothing is to be added: the page is not on the maker's site, already carries
// "&Password", or the channel itself is not on the maker's site (its password belongs to
// another site and never goes to ours).
QString WithMakerSiteCredentials(const QString &address, const QString &channelUrl,
                                 const QString &user, const QString &password);
