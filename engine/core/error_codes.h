// Engine error codes. Every engine failure carries one of these 16-bit numbers; the message
// texts and the names that fill them are in error_table.cpp.
#pragma once

#include <cstdint>

namespace kura {

constexpr uint16_t KURA_NONE = 0;
constexpr uint16_t KURA_BOF = 8705;
constexpr uint16_t KURA_EOF = 8706;
constexpr uint16_t KURA_KEYORRECDELETED = 8708;
constexpr uint16_t KURA_NOCURRREC = 8709;
constexpr uint16_t KURA_RECNOTFOUND = 8710;
constexpr uint16_t KURA_ENDOFBLOB = 8711;
constexpr uint16_t KURA_HEADERCORRUPT = 8961;
constexpr uint16_t KURA_FILECORRUPT = 8962;
constexpr uint16_t KURA_MEMOCORRUPT = 8963;
constexpr uint16_t KURA_INDEXCORRUPT = 8965;
constexpr uint16_t KURA_READERR = 9217;
constexpr uint16_t KURA_WRITEERR = 9218;
constexpr uint16_t KURA_RECTOOBIG = 9477;
constexpr uint16_t KURA_TABLEFULL = 9479;
constexpr uint16_t KURA_DATABASEFULL = 9480;
constexpr uint16_t KURA_INTERNALLIMIT = 9482;
constexpr uint16_t KURA_INDEXLIMIT = 9487;
constexpr uint16_t KURA_FLDLIMIT = 9492;
constexpr uint16_t KURA_OPENBLOBLIMIT = 9494;
constexpr uint16_t KURA_BLOBLIMIT = 9498;
constexpr uint16_t KURA_KEYVIOL = 9729;
constexpr uint16_t KURA_MINVALERR = 9730;
constexpr uint16_t KURA_MAXVALERR = 9731;
constexpr uint16_t KURA_REQDERR = 9732;
constexpr uint16_t KURA_OUTOFRANGE = 9985;
constexpr uint16_t KURA_PRIMARYKEYREDEFINE = 9993;
constexpr uint16_t KURA_INVALIDBLOBOFFSET = 9998;
constexpr uint16_t KURA_INVALIDFLDTYPE = 10000;
constexpr uint16_t KURA_INVALIDVCHKSTRUCT = 10006;
constexpr uint16_t KURA_INDEXNAMEREQUIRED = 10010;
constexpr uint16_t KURA_INVALIDPASSWORD = 10015;
constexpr uint16_t KURA_INVALIDINDEXNAME = 10022;
constexpr uint16_t KURA_INVALIDIDXDESC = 10023;
constexpr uint16_t KURA_INVALIDKEY = 10026;
constexpr uint16_t KURA_INDEXEXISTS = 10027;
constexpr uint16_t KURA_INVALIDBLOBLEN = 10029;
constexpr uint16_t KURA_INVALIDBLOBHANDLE = 10030;
constexpr uint16_t KURA_TABLEOPEN = 10031;
constexpr uint16_t KURA_INVALIDFIELDNAME = 10038;
constexpr uint16_t KURA_NOSUCHFILTER = 10050;
constexpr uint16_t KURA_INVALIDFILTER = 10051;
constexpr uint16_t KURA_LOCKREADLOCK = 10221;
constexpr uint16_t KURA_LOCKREADUNLOCK = 10222;
constexpr uint16_t KURA_LOCKWRITELOCK = 10223;
constexpr uint16_t KURA_LOCKWRITEUNLOCK = 10224;
constexpr uint16_t KURA_READLOCK = 10225;
constexpr uint16_t KURA_READUNLOCK = 10226;
constexpr uint16_t KURA_WRITELOCK = 10227;
constexpr uint16_t KURA_WRITEUNLOCK = 10228;
constexpr uint16_t KURA_TRANSLOCK = 10229;
constexpr uint16_t KURA_TRANSUNLOCK = 10230;
constexpr uint16_t KURA_LOCKED = 10241;
constexpr uint16_t KURA_UNLOCKFAILED = 10242;
constexpr uint16_t KURA_NEEDEXCLACCESS = 10253;
constexpr uint16_t KURA_RECLOCKFAILED = 10258;
constexpr uint16_t KURA_NOTSUFFTABLERIGHTS = 10498;
constexpr uint16_t KURA_NOTABLOB = 10753;
constexpr uint16_t KURA_OSENOENT = 11010;
constexpr uint16_t KURA_OSEMFILE = 11012;
constexpr uint16_t KURA_OSEACCES = 11013;
constexpr uint16_t KURA_OSEBADF = 11014;
constexpr uint16_t KURA_OSENOMEM = 11016;
constexpr uint16_t KURA_OSENODEV = 11023;
constexpr uint16_t KURA_OSENOTSAM = 11025;
constexpr uint16_t KURA_OSUNKNOWN = 11047;
constexpr uint16_t KURA_IMPORTERROR = 11309;
constexpr uint16_t KURA_EXPORTERROR = 11310;
constexpr uint16_t KURA_LOADSTREAMERROR = 11312;
constexpr uint16_t KURA_SAVESTREAMERROR = 11313;
constexpr uint16_t KURA_TRIGGERERROR = 11314;
constexpr uint16_t KURA_SQLPARSE = 11949;
constexpr uint16_t KURA_SQLEXEC = 11950;
constexpr uint16_t KURA_OLDVERSION = 12035;
constexpr uint16_t KURA_BADSIGNATURE = 12036;
constexpr uint16_t KURA_SEARCHCOLREQD = 12292;
constexpr uint16_t KURA_TABLEEXISTS = 13060;
constexpr uint16_t KURA_COMPRESS = 15001;
constexpr uint16_t KURA_UNCOMPRESS = 15002;
constexpr uint16_t KURA_CANNOTLOADLDDRV = 15878;

// Codes of the client/server connection; only remote sessions raise them. 11299 to 11307
// have messages but no constant name.
constexpr uint16_t KURA_REMOTECOMMLOST = 11276;
constexpr uint16_t KURA_REMOTEENCRYPTREQ = 11277;
constexpr uint16_t KURA_REMOTEUNKNOWN = 11279;
constexpr uint16_t KURA_REMOTECONNECT = 11280;
constexpr uint16_t KURA_REMOTENOLOGIN = 11281;
constexpr uint16_t KURA_REMOTEMAXCONNECT = 11282;
constexpr uint16_t KURA_REMOTEADDRESSBLOCK = 11283;
constexpr uint16_t KURA_REMOTECALLBACK = 11284;
constexpr uint16_t KURA_REMOTECALLBACKERR = 11285;
constexpr uint16_t KURA_REMOTEVERSION = 11286;
constexpr uint16_t KURA_REMOTEINVLOGIN = 11287;
constexpr uint16_t KURA_REMOTENOTAUTH = 11288;
constexpr uint16_t KURA_REMOTENOTADMIN = 11289;
constexpr uint16_t KURA_REMOTEINVUSER = 11290;
constexpr uint16_t KURA_REMOTENOUSER = 11291;
constexpr uint16_t KURA_REMOTEDUPUSER = 11292;
constexpr uint16_t KURA_REMOTEINVDB = 11293;
constexpr uint16_t KURA_REMOTENODB = 11294;
constexpr uint16_t KURA_REMOTEDUPDB = 11295;
constexpr uint16_t KURA_REMOTEINVDBUSER = 11296;
constexpr uint16_t KURA_REMOTENODBUSER = 11297;
constexpr uint16_t KURA_REMOTEDUPDBUSER = 11298;
constexpr uint16_t KURA_REMOTEINVREQUEST = 11308;

}  // namespace kura
