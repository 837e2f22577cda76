#ifndef VEK_PEOPLE_READER_REQUESTS_H
#define VEK_PEOPLE_READER_REQUESTS_H

// What the people tool asks the reader service, by the service's signature
// ("application/x-vnd.VEK-reader"), and what the service answers. Requests
// are sent with a reply wanted; the answer is the reply.
//
// kScanRequest: the next read, whenever it comes. The service keeps the
//   request and answers it with kReadReply at the next read it logs; a
//   request whose asker gave up (its "timeout" field, in microseconds, has
//   passed) is dropped unanswered.
// kRecentRequest: answered at once with kRecentReply.
//
// kReadReply: "tag" (string, as the service sends it to the client),
//   "reader" (string, the reader's name), "time" (int64, seconds since the
//   epoch).
// kRecentReply: the last reads, newest first, as parallel arrays: "tag",
//   "reader", "time" as above; absent when nothing was read yet.

#include <SupportDefs.h>

constexpr char kReaderSignature[] = "application/x-vnd.VEK-reader";

constexpr uint32 kScanRequest = 'pScn';
constexpr uint32 kRecentRequest = 'pRcn';
constexpr uint32 kReadReply = 'pRed';
constexpr uint32 kRecentReply = 'pRct';

// How many reads the service remembers for kRecentRequest.
constexpr int32 kRecentReads = 100;

#endif
