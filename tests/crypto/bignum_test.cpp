// Known answers and the stated edge cases of the big integers and the prime search; portable,
// so the i686 build runs them under Wine on its 32-bit limbs.
#include "crypto/bignum.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "crypto/primes.h"
#include "crypto/random.h"
#include "support/recording_ui.h"
#include "support/scripted_random.h"

namespace lq {
namespace {

// Numbers below are big-endian hex. kModp2048 is the 2048-bit MODP prime of RFC 3526, section 3;
// the other values were computed with Python 3's built-in integers (pow, //, %) from
// random.seed(2004) draws.
constexpr char kModp2048[] =
    "FFFFFFFFFFFFFFFFC90FDAA22168C234C4C6628B80DC1CD129024E088A67CC74020BBEA63B139B22514A0879"
    "8E3404DDEF9519B3CD3A431B302B0A6DF25F14374FE1356D6D51C245E485B576625E7EC6F44C42E9A637ED6B"
    "0BFF5CB6F406B7EDEE386BFB5A899FA5AE9F24117C4B1FE649286651ECE45B3DC2007CB8A163BF0598DA4836"
    "1C55D39A69163FA8FD24CF5F83655D23DCA3AD961C62F356208552BB9ED529077096966D670C354E4ABC9804"
    "F1746C08CA18217C32905E462E36CE3BE39E772C180E86039B2783A2EC07A28FB5C55DF06F4C52C9DE2BCBF6"
    "955817183995497CEA956AE515D2261898FA051015728E5A8AACAA68FFFFFFFFFFFFFFFF";
constexpr char kBase[] =
    "D7DF688108DC1B6343AD24C46E9099BD0F29CBFF0C7560F93F88F8EBBF4419E58F59757828D2FBABABF649C2"
    "53828D39EF65A468EC4580F7EE4DC8070D9352B251669E360BBEC983B0E611FE6B0BE360B7D2113EE78A5DF6"
    "1F3961CFE0C7CDF46BE12DB3180386042055A588C11141A096BAF92EB9BCE7408B6CCA0934EEC4C42CCF30F0"
    "65BBD5177FD239D8E4AA92B25628D6E6DB73ADFC30E53E3A73A255DC17F43A9CADB288BE80324CC2EC551649"
    "6536BE50569000919CC6984D0209E226A8F1528A5504F71568C50E7A8EB71278F48D699FF08B986B525BC9C6"
    "FA24BD30ACD98AAEE1C551ABAEE7B5ECC8A27F11D78D634D1025B9A267267CA25DEEC0152506286489D9A";
constexpr char kExponent[] =
    "C9E863F35EE5F0D7A5483DCACEC04F0B53DC0E5D33B85F33032B7875A7C00418690526286E3CA3D79A53CCBE"
    "76D46A05B345A3F79E5598816818BB88865857759369C7E1628FB113AAE43D9FC3CA5F61339CB66391F0D1DD"
    "665F34BFF22216BA4665D3097A6C08C01AE158A356FF6A7277E23F32494D4EBB77256D71CD01E4DCAEF3BC12"
    "A376FAE37D678AEEDEDB5981314D7548865D389C9C346B4DD21CED8E762E567DEEBA074AC11179C88E1E1B29"
    "41CF93E8C96D46AE1288F7C475B4F89A0DBB7B7D8293B9FB5E1D87B3F35C16CB17CA90487F34318E4E8C8787"
    "896DE0491EC71ED9987134574FE346A9968B526C3317B90257E3A258116F73CE6D240AB5";
constexpr char kModulus[] =
    "B2284C23E132B056961F212A311FB813452638CE1BA80F27CD01AA90E7FAE061D1B21970D8BE716DBE846F0F"
    "130746C3A201B09493E8C59DEA0077093824D1278563053F2B5AD4BACD60DF14025426DDC8A805CCA9EED9C3"
    "14E46C3D4C1A3AED2FF0518FC79CBAFE8732576265B71233B373D72865471FB370E00B33D1140F154E301494"
    "717E3A9B74B67EC84F00F4781C9B27F0E1E2EDD2FB9F5EB338D048027FF40D281B5F1C5F8D72D618867A7D33"
    "364669DD3D27C41EC4755675C2458E7D1FB769CDE6B2F18A3FF639B5643433AFC5B9BEE3E0891E1620D82EE6"
    "DDDCE782E5C3C52C203E1BCD13C27849C702D5AF11F72B8F6D3416AF2F96AD2713D72B73";
constexpr char kPowOdd[] =
    "17E075EA4CA8F2BFD10E955CF37A0EED635119FAF2A9AB831CF6FBF2F7C1E102CA82A5EBCAD23C5350873D53"
    "CA8D4753C858EF129BA3BD621185164D80367C1665E68C9B4C435A5811807F52334FEC4648A532A1C20D6F21"
    "27405EC6B265C3A1FD7F16A0316BCEBA26D8B589EE3B307D0FC76814BEFA5B79D5F5BA86285E7D33F6E555B7"
    "2B5F41308C24C8C3D3923C111B56AA8B7B7AE56AD067026E5C8B028CBCC374FA9A47C45EB4902FA7685DDFE9"
    "28C444CAABA8889FDA5F30A3486E95D9418F4145C50F31989BF625C8C2849A5BB1C94BDDD08C5EDC45CE6554"
    "F3333AF5CEE45F838A3674D00E13740CC6106BCAC9A3B60A54241C9E7648AE6480705617";
constexpr char kPowEven[] =
    "50B5EB74EBD67A5144F30C7AE6A5FA2CF30CC444858F20B3B6C442A761DF299A68C2B436003C80788A1DDDD8"
    "2BFB94DFB570F7A436FA2240849E0944D3A9E0AA410B18C323F5A724135D6BA13E9B0EE16CD5FD9A88BE0D46"
    "959EA28EEB7F04607A04CEDA7BE9B9AD8B88D7AE5C8CD7EBF980BD428D42EB8C682326BEB4DA5462BE39C169"
    "015FDA8DEFE8511EA775E9D27AD09822848C6327FDC455FCEC27484CE46F4C05E7F3EE2CC58DB6B4B29C64DC"
    "9CA1B4129B134F3E1AEE6351CBCD9A07062FE8E5EE0B96C8E144661BEE3B75D10B93592BE40758B019DB09DE"
    "4DE8C9396E2456FD763742FDA2CDAF5AF8C6A2D505D4685BD7BD92935BCA4EDDF0E4DCA8";
constexpr char kInverse65537[] =
    "257EDA81257EDA811D72EC03F93EBDCB3AD30FD5FCFEC05DC652E7190B249EE692F2236F7791AC943F31C7C1"
    "FE1912696B50FC5DC07E7B1BBD576084B00E4B08BAF3727EDF972D0C4DA763E7BE0AB728EED948A7AE47DCC7"
    "640F7805F8020FE8928EC30A22BDAB9B79D32756444D4093DB3D4697534A332EFD7E52C63C253EF253EC0CCD"
    "9822DE066CC3EC7914F2D248DC16F9A86A05B3441C4E45F3E479829FA668F44479B224C04B6A97582B4C2A3B"
    "F71DA5413850867F096CE9D1FFACD9521E49B48CC9CD3EC5C270EC2FEDC0448826088D74CCE871EBCD55BEDF"
    "140ABDFF3757ED5695896309C0C371FF02510472D1A160C6542F6C1A4AFCB5034AFCB503";
constexpr char kDividend[] =
    "3C91AE9BB155FE97A703FACC6086A03EDCEF27754BCF8E62A8B0AD5E6ABDFFBD396EEF0E9D58A5E61055C998"
    "0D6D2AF0A546BC75AE40316C5BB2A2B88B622398533A71EFDC7E55C1EA01D46EA3E056D7F52B7F0E9D9D4057"
    "E709CAB4B55C0F24F2BD6EBB92BF0646832DF3E963B4361897F6714B1D664D9D0753FF0747826B2A5FED822F"
    "0C0B1E98ED780F2DF3E0908B98F641392C54B7686FE06B54743829D571BCE8AE3BE4F52CC2409DB5B4CAC3B5"
    "BAB4D55D1BDB1043A0A870C36A3DF7B6AF61A36F101BF77D180D91B7BACCC726B5DC9FF4CDE442F4018B2D7E"
    "D708AD9CFDBF3F05BC59343264AB60346F99C92B0BD43F2CDA45C573788091D9A7F0190784377C31425DBAEA"
    "1658DE77B59024FBE7EEB8526235A253489B24026B2A861A09C6B1FF4F5E031EB726320A465D2647D614A3AE"
    "F92221AF2E9A22D457A34B2ED2BDFC7BF8DFF555C0EC9BB1FDA524BC6FA1EB63B975D1E87CA4BE91B1275B60"
    "8229A07DE2BFC7E8B96F3D56C8600539518F676B5C8F8F";
constexpr char kDivisor[] =
    "646E2F84033E6A9E71B66229BE872EBEFE71F4C3A59CB6689EC06225D50A89F014C455C3F3F5A67CB586F17C"
    "6C08E1916C7422CC833A205172C626063FCA3B83830F38B2C11733D62C289CA9BE9D1FA831DF24549D0F170A"
    "0A5B6C1FF99AD6744E2AB1112A8FBE293C0AE5890D8EE7DA565691817696768106309CDF5625735C200A0C52"
    "65C0426B7C5";
constexpr char kQuotient[] =
    "9A646D90CAEB46D9A0C93973522701F1302F526BF0D1D3E4FAB37FDDD95D5D7FF6A352DBA9471ACB1C7A1B51"
    "8AA02E5C3ACB7D2ECEABA1DF680759609DAD4A570DF85CFD33DEB1B04B033A541C735EB7794BD5C5A3521334"
    "1A3AE0CB984F12C5AF3E287EB6196E6BC01687170367CFE1D0FBC961A4D3D7E240F423E767622BFDB5613FFC"
    "2E885195F643FA8F55580ED5BB455B87BE595D51DF890D9C91A5FF3FCB49B3726A7B3FBAA8316F3EE422DDCD"
    "12CC6384E61623512E8DACFFB404F36CD0DFB29CBD8175FDA17875D67213F78A571C4F134650978A91C19AFD"
    "243AF600D0F8685024D35DB04031E0D715F";
constexpr char kRemainder[] =
    "1F9961EE4576DB73E87C676221F691372E02D1016F999DC8A01D085954A1939B35FED67158E7D64987B02992"
    "95D30FBDFFC0177D4D2042C92E67D93B755A8F6B586C12AF273EAA1A160EECA8235C1B8921824166EE25EA45"
    "A5BE160691BB00A686BD4AF51F3F2A5562578F9384D6EC34A1F3685F6D0EFDE7390A33B271C596991C02936B"
    "A9D5EDF6874";

BigNum FromHex(const std::string& hex) {
  BigNum out;
  for (size_t end = hex.size(); end > 0;) {
    const size_t start = end >= 8 ? end - 8 : 0;
    AppendLe32(out, static_cast<uint32_t>(std::stoul(hex.substr(start, end - start), nullptr, 16)));
    end = start;
  }
  return out;
}

BigNum Words(std::initializer_list<uint32_t> words) {
  BigNum out;
  for (uint32_t w : words) AppendLe32(out, w);
  return out;
}

using test::ScriptedSource;

TEST(BigNum, RepresentationAndNormalisation) {
  EXPECT_EQ(BigFromWord(1), std::string("\x01\0\0\0", 4));
  EXPECT_TRUE(BigIsZero(""));
  EXPECT_TRUE(BigIsZero(std::string(12, '\0')));
  EXPECT_FALSE(BigIsZero(Words({0, 0, 1})));
  EXPECT_TRUE(BigIsOdd(Words({3, 0})));
  EXPECT_FALSE(BigIsOdd(""));
  // Results have the fewest words, and zero is one zero word.
  EXPECT_EQ(BigAdd("", ""), std::string(4, '\0'));
  EXPECT_EQ(BigSubtract(Words({5, 0, 0}), Words({5})), std::string(4, '\0'));
  EXPECT_EQ(BigMultiply(Words({0xFFFFFFFF, 0}), Words({0xFFFFFFFF})), Words({1, 0xFFFFFFFE}));
  EXPECT_EQ(BigAdd(Words({0xFFFFFFFF, 0xFFFFFFFF}), Words({1})), Words({0, 0, 1}));
  EXPECT_EQ(BigDouble(Words({0x80000000})), Words({0, 1}));
  EXPECT_EQ(BigShiftRight1(Words({0, 1})), Words({0x80000000}));
  EXPECT_EQ(BigBitLength(Words({0, 1, 0})), 33);
  EXPECT_EQ(BigToDecimal(Words({0, 0, 1})), "18446744073709551616");
  EXPECT_EQ(BigToDecimal(""), "0");
  EXPECT_EQ(BigFromDecimal("18446744073709551616"), Words({0, 0, 1}));
  EXPECT_EQ(BigSetBit("", 40), Words({0, 0x100}));
  EXPECT_TRUE(BigTestBit(Words({0, 0x100}), 40));
}

TEST(BigNum, LessThanPadsWithZeroWords) {
  // 01 00 00 00 00 00 00 00 and 01 00 00 00 are the same number.
  const BigNum long_one = Words({1, 0}), short_one = Words({1});
  EXPECT_FALSE(BigLessThan(long_one, short_one));
  EXPECT_FALSE(BigLessThan(short_one, long_one));
  EXPECT_TRUE(BigLessThan(Words({0xFFFFFFFF, 0, 0}), Words({0, 1})));
  EXPECT_EQ(BigCompare(Words({7, 0, 0, 0}), Words({7})), 0);
}

TEST(BigNum, CallerGuardedCasesStaySound) {
  BigNum q, r;
  BigDivide(Words({10}), "", q, r);  // division by zero: quotient 0, remainder a
  EXPECT_EQ(q, Words({0}));
  EXPECT_EQ(r, Words({10}));
  EXPECT_EQ(BigMod(Words({10}), Words({0, 0})), Words({10}));
  EXPECT_EQ(BigSubtract(Words({1}), Words({2})), Words({0}));  // would be negative
  bool exists = true;
  EXPECT_EQ(BigModInverse(Words({4}), Words({8}), exists), Words({0}));
  EXPECT_FALSE(exists);
  BigModInverse(Words({3}), "", exists);
  EXPECT_FALSE(exists);
  // The divisor's string may be longer than the dividend's while its value is smaller.
  BigDivide(Words({100}), Words({7, 0, 0, 0}), q, r);
  EXPECT_EQ(q, Words({14}));
  EXPECT_EQ(r, Words({2}));
  BigDivide(Words({5}), Words({0, 1}), q, r);  // divisor larger than dividend
  EXPECT_EQ(q, Words({0}));
  EXPECT_EQ(r, Words({5}));
}

TEST(BigNum, PowerModuloExponentZeroIsOne) {
  for (const BigNum& modulus : {Words({2}), Words({7}), Words({0, 1}), FromHex(kModulus)}) {
    for (const BigNum& base : {BigNum(), Words({0}), Words({5}), FromHex(kBase)}) {
      EXPECT_EQ(BigPowMod(base, "", modulus), Words({1}));
      EXPECT_EQ(BigPowMod(base, Words({0, 0}), modulus), Words({1}));
    }
  }
  // The right-to-left method starts from one, so even modulus 1 gives one for exponent zero.
  EXPECT_EQ(BigPowMod(Words({5}), Words({0}), Words({1})), Words({1}));
  EXPECT_EQ(BigPowMod(Words({5}), Words({3}), Words({1})), Words({0}));
  EXPECT_EQ(BigPowMod(Words({5}), Words({3}), ""), Words({0}));
}

TEST(BigNum, KnownAnswers) {
  const BigNum p = FromHex(kModp2048), one = Words({1});
  const BigNum p_minus_1 = BigSubtract(p, one);
  // Fermat: a^(p-1) = 1 and a^p = a modulo the RFC 3526 prime.
  EXPECT_EQ(BigPowMod(Words({2}), p_minus_1, p), one);
  EXPECT_EQ(BigPowMod(FromHex(kBase), p_minus_1, p), one);
  EXPECT_EQ(BigPowMod(Words({12345}), p, p), Words({12345}));
  EXPECT_EQ(BigPowMod(FromHex(kBase), FromHex(kExponent), FromHex(kModulus)), FromHex(kPowOdd));
  BigNum even = FromHex(kModulus);
  even[0] = static_cast<char>(even[0] & ~1);
  EXPECT_EQ(BigPowMod(FromHex(kBase), FromHex(kExponent), even), FromHex(kPowEven));
  bool exists = false;
  EXPECT_EQ(BigModInverse(Words({65537}), p_minus_1, exists), FromHex(kInverse65537));
  EXPECT_TRUE(exists);
  BigNum q, r;
  BigDivide(FromHex(kDividend), FromHex(kDivisor), q, r);
  EXPECT_EQ(q, FromHex(kQuotient));
  EXPECT_EQ(r, FromHex(kRemainder));
  EXPECT_EQ(BigAdd(BigMultiply(q, FromHex(kDivisor)), r), FromHex(kDividend));
  EXPECT_EQ(BigGcd(BigMultiply(p, Words({6})), BigMultiply(p, Words({4}))),
            BigMultiply(p, Words({2})));
  EXPECT_TRUE(BigCoprime(Words({65537}), p_minus_1));
  EXPECT_FALSE(BigCoprime(Words({0}), Words({0})));
}

TEST(SmallPrimes, TableHoldsThePrimesBelow9973) {
  const auto& table = SmallPrimes();
  ASSERT_EQ(table.size(), 1228u);
  EXPECT_EQ(table.front(), 2);
  EXPECT_EQ(table[127], 719);
  EXPECT_EQ(table[128], 727);
  EXPECT_EQ(table.back(), 9967);
}

TEST(TrialDivision, CountsPrimesByByteLength) {
  // 9973 (not in the table) as one word: the first 128 primes are tried and none divides it.
  EXPECT_TRUE(TrialDivision(Words({9973})));
  // 727^2 has no factor among the first 128 primes (up to 719) but the 129th is 727; the high
  // zero word doubles the count and catches it.
  EXPECT_TRUE(TrialDivision(Words({727 * 727})));
  EXPECT_FALSE(TrialDivision(Words({727 * 727, 0})));
  // A table prime equal to c is prime; one above c (here 2 > 1) is not.
  EXPECT_TRUE(TrialDivision(Words({2})));
  EXPECT_TRUE(TrialDivision(Words({9967, 0, 0, 0, 0, 0, 0, 0, 0, 0})));
  EXPECT_FALSE(TrialDivision(Words({1})));
  EXPECT_FALSE(TrialDivision(Words({0})));
  EXPECT_FALSE(TrialDivision(Words({9})));
  EXPECT_FALSE(TrialDivision(BigMultiply(FromHex(kModp2048), Words({9967}))));
  EXPECT_TRUE(TrialDivision(FromHex(kModp2048)));
}

TEST(ProbablePrime, RoundsAndBases) {
  ScriptedSource source;
  RandomContext ctx(source);
  // 2047 = 23 * 89 is a strong pseudoprime to base 2: one round (base 2 only) passes it.
  EXPECT_TRUE(IsProbablePrime(ctx, Words({2047}), 1));
  EXPECT_TRUE(source.ranges.empty());
  // Base 3 unmasks it; the bound below 8000 is c - 1.
  source.answers = {3};
  EXPECT_FALSE(IsProbablePrime(ctx, Words({2047}), 5));
  ASSERT_EQ(source.ranges.size(), 1u);
  EXPECT_EQ(source.ranges[0], std::make_pair(2u, 2046u));
  // A base sharing a factor with c fails at once.
  source.answers = {23};
  EXPECT_FALSE(IsProbablePrime(ctx, Words({2047}), 5));
  // r = 5 draws four bases from 2..8000 for a large c.
  source.ranges.clear();
  source.answers = {2, 3, 5, 7999};
  EXPECT_TRUE(IsProbablePrime(ctx, FromHex(kModp2048), 5));
  ASSERT_EQ(source.ranges.size(), 4u);
  for (const auto& range : source.ranges) EXPECT_EQ(range, std::make_pair(2u, 8000u));
  // Even numbers, 0 and 1 are not prime; 3 is (its only base is 2).
  EXPECT_FALSE(IsProbablePrime(ctx, Words({2}), 5));
  EXPECT_FALSE(IsProbablePrime(ctx, Words({1}), 5));
  EXPECT_FALSE(IsProbablePrime(ctx, "", 5));
  EXPECT_TRUE(IsProbablePrime(ctx, Words({3}), 5));
  // Carmichael numbers and a Fermat number.
  RandomContext real;
  for (uint32_t c : {561u, 1105u, 1729u, 41041u, 3215031751u}) {
    EXPECT_FALSE(IsProbablePrime(real, Words({c}), 10)) << c;
  }
  EXPECT_FALSE(IsProbablePrime(real, BigAdd(BigSetBit("", 128), Words({1})), 10));      // F7
  EXPECT_TRUE(IsProbablePrime(real, BigSubtract(BigSetBit("", 127), Words({1})), 10));  // M127
}

TEST(RandomPrime, HasExactlyTheBitsAsked) {
  RandomContext ctx;
  for (int bits : {3, 16, 100, 256}) {
    const BigNum p = RandomPrime(ctx, bits, 5);
    ASSERT_FALSE(p.empty()) << bits;
    EXPECT_EQ(BigBitLength(p), bits);
    EXPECT_TRUE(BigIsOdd(p));
    EXPECT_TRUE(IsProbablePrime(ctx, p, 10));
  }
  // A 256-bit prime has bit 255 set and is odd.
  const BigNum p = RandomPrime(ctx, 256, 5);
  EXPECT_TRUE(BigTestBit(p, 255));
  EXPECT_TRUE(BigIsOdd(p));
  EXPECT_EQ(p.size(), 32u);
  // No 2-bit prime is the successor of 3: no candidate, so a failure rather than a hang.
  EXPECT_TRUE(RandomPrime(ctx, 2, 5).empty());
}

TEST(RandomPrime, NeverSkipsTheDrawIntoTheResult) {
  // With the register and both draws at zero every RandomByte is zero: c = 2^(n-1) + 1, and the
  // search must go on to its successors even when c itself is prime (2^4 + 1 = 17).
  ScriptedSource source;
  RandomContext ctx(source);
  const BigNum p = RandomPrime(ctx, 5, 3);
  EXPECT_EQ(p, Words({19}));
}

// A front end that counts the event pumps of a long search.
class PumpCountingUi : public test::RecordingUi {
 public:
  int pumps = 0;
  void Pump() override { ++pumps; }
};

TEST(RandomPrime, TimeLimitReportsFailure) {
  RandomContext ctx;
  PumpCountingUi ui;
  double now = 0;
  PrimeSearchLimit limit;
  limit.seconds = 10;
  // Each look at the clock advances it by 4 s: the search starts at 0, tests candidates at 4 and
  // 8, and at 12 it is past the limit and gives up with nothing.
  limit.clock = [&] {
    const double t = now;
    now += 4;
    return t;
  };
  limit.ui = &ui;
  EXPECT_TRUE(RandomPrime(ctx, 4096, 5, limit).empty());
  EXPECT_EQ(now, 16);
  EXPECT_EQ(ui.pumps, 2);
  // A generous limit finds one.
  now = 0;
  limit.seconds = 1e9;
  EXPECT_EQ(BigBitLength(RandomPrime(ctx, 128, 5, limit)), 128);
}

TEST(BlumPrime, IsThreeModFour) {
  RandomContext ctx;
  for (int i = 0; i < 5; ++i) {
    const BigNum p = BlumPrime(ctx, 128, 5);
    EXPECT_EQ(BigToU64(p) & 3, 3u);
    EXPECT_LE(BigBitLength(p), 129);
    EXPECT_TRUE(IsProbablePrime(ctx, p, 10));
  }
}

}  // namespace
}  // namespace lq
