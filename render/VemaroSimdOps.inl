// The vector operations the blend kernels are written in, as members of a
// struct V, for one instruction set: included inside the struct with
// VEMARO_MM(op) naming its intrinsic of op and VEMARO_MMSI(op) that of a
// whole-register op; the struct defines I, F, kAllBytes, kAllFloats, cmpeqF
// and cmpltF itself.

// No include guard: this file is meant to be included several times.

    static I load(const void* p) { return VEMARO_MMSI(loadu)(static_cast<const I*>(p)); }
    static void store(void* p, I v) { VEMARO_MMSI(storeu)(static_cast<I*>(p), v); }
    static I zero() { return VEMARO_MMSI(setzero)(); }
    static I set16(short v) { return VEMARO_MM(set1_epi16)(v); }
    static I set32(int v) { return VEMARO_MM(set1_epi32)(v); }
    static I set64(long long v) { return VEMARO_MM(set1_epi64x)(v); }
    static I and_(I a, I b) { return VEMARO_MMSI(and)(a, b); }
    static I or_(I a, I b) { return VEMARO_MMSI(or)(a, b); }
    static I andnot(I a, I b) { return VEMARO_MMSI(andnot)(a, b); }
    static I add16(I a, I b) { return VEMARO_MM(add_epi16)(a, b); }
    static I sub16(I a, I b) { return VEMARO_MM(sub_epi16)(a, b); }
    static I subsu16(I a, I b) { return VEMARO_MM(subs_epu16)(a, b); }
    static I mullo16(I a, I b) { return VEMARO_MM(mullo_epi16)(a, b); }
    static I mulhiu16(I a, I b) { return VEMARO_MM(mulhi_epu16)(a, b); }
    static I min16(I a, I b) { return VEMARO_MM(min_epi16)(a, b); }
    static I max16(I a, I b) { return VEMARO_MM(max_epi16)(a, b); }
    static I cmpeq16(I a, I b) { return VEMARO_MM(cmpeq_epi16)(a, b); }
    static I cmpgt16(I a, I b) { return VEMARO_MM(cmpgt_epi16)(a, b); }
    static I madd16(I a, I b) { return VEMARO_MM(madd_epi16)(a, b); }
    static I add32(I a, I b) { return VEMARO_MM(add_epi32)(a, b); }
    static I cmpeq32(I a, I b) { return VEMARO_MM(cmpeq_epi32)(a, b); }
    template <int S>
    static I srli16(I a) { return VEMARO_MM(srli_epi16)(a, S); }
    template <int S>
    static I srli32(I a) { return VEMARO_MM(srli_epi32)(a, S); }
    static I unpacklo8(I a, I b) { return VEMARO_MM(unpacklo_epi8)(a, b); }
    static I unpackhi8(I a, I b) { return VEMARO_MM(unpackhi_epi8)(a, b); }
    static I unpacklo16(I a, I b) { return VEMARO_MM(unpacklo_epi16)(a, b); }
    static I unpackhi16(I a, I b) { return VEMARO_MM(unpackhi_epi16)(a, b); }
    static I packus16(I a, I b) { return VEMARO_MM(packus_epi16)(a, b); }
    static I packs32(I a, I b) { return VEMARO_MM(packs_epi32)(a, b); }
    // Lane 0 of each group of four 16-bit lanes into all four.
    static I spreadAlpha16(I a) { return VEMARO_MM(shufflehi_epi16)(VEMARO_MM(shufflelo_epi16)(a, 0), 0); }
    static bool allOnes(I m) { return VEMARO_MM(movemask_epi8)(m) == kAllBytes; }
    static F cvt32F(I a) { return VEMARO_MM(cvtepi32_ps)(a); }
    static I cvttF32(F a) { return VEMARO_MM(cvttps_epi32)(a); }
    static F loadF(const float* p) { return VEMARO_MM(loadu_ps)(p); }
    static void storeF(float* p, F v) { VEMARO_MM(storeu_ps)(p, v); }
    static F zeroF() { return VEMARO_MM(setzero_ps)(); }
    static F set1F(float v) { return VEMARO_MM(set1_ps)(v); }
    static F addF(F a, F b) { return VEMARO_MM(add_ps)(a, b); }
    static F subF(F a, F b) { return VEMARO_MM(sub_ps)(a, b); }
    static F mulF(F a, F b) { return VEMARO_MM(mul_ps)(a, b); }
    static F divF(F a, F b) { return VEMARO_MM(div_ps)(a, b); }
    static F minF(F a, F b) { return VEMARO_MM(min_ps)(a, b); }
    static F maxF(F a, F b) { return VEMARO_MM(max_ps)(a, b); }
    static F andF(F a, F b) { return VEMARO_MM(and_ps)(a, b); }
    static F orF(F a, F b) { return VEMARO_MM(or_ps)(a, b); }
    static F andnotF(F a, F b) { return VEMARO_MM(andnot_ps)(a, b); }
    static bool allOnesF(F m) { return VEMARO_MM(movemask_ps)(m) == kAllFloats; }
    static F unpackloF(F a, F b) { return VEMARO_MM(unpacklo_ps)(a, b); }
    static F unpackhiF(F a, F b) { return VEMARO_MM(unpackhi_ps)(a, b); }
    // {a0, a1, b0, b1} and {a2, a3, b2, b3}.
    static F halvesLoF(F a, F b) { return VEMARO_MM(shuffle_ps)(a, b, _MM_SHUFFLE(1, 0, 1, 0)); }
    static F halvesHiF(F a, F b) { return VEMARO_MM(shuffle_ps)(a, b, _MM_SHUFFLE(3, 2, 3, 2)); }
