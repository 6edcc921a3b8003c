package org.velix.verify;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.DynamicTest.dynamicTest;

import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.time.Instant;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.TestFactory;

/**
 * The Java binding on the documents, signatures, AUTH lines and card collections that
 * make_verify_cases wrote and checked with the C library (VELIX_VERIFY_CASES names the folder).
 */
class VerifierTest {
  private static final Path CASES = Path.of(System.getenv("VELIX_VERIFY_CASES"));
  private static Cards cards;

  @BeforeAll
  static void loadCards() throws Exception {
    cards = Cards.load(read("cards.key"));
  }

  @AfterAll
  static void closeCards() {
    cards.close();
  }

  static byte[] read(String name) throws IOException {
    return Files.readAllBytes(CASES.resolve(name));
  }

  static Stream<String[]> cases(String kind) throws IOException {
    return Files.readAllLines(CASES.resolve("cases.tsv"), StandardCharsets.UTF_8).stream()
        .map(line -> line.split("\t", -1))
        .filter(fields -> fields[0].equals(kind));
  }

  static Status status(String code) {
    return Status.of(Integer.parseInt(code));
  }

  @TestFactory
  Stream<DynamicTest> documentsGiveTheCLibrarysStatus() throws IOException {
    return cases("document")
        .map(
            c ->
                dynamicTest(
                    c[1] + " " + c[2],
                    () -> {
                      byte[] document = read(c[1]);
                      boolean lenient = c[2].equals("lenient");
                      if (status(c[3]) == Status.OK) {
                        Verified verified =
                            Verifier.verifyDocument(
                                cards, document, lenient, Verifier.DEFAULT_USER_ID_CHARSET);
                        assertArrayEquals(read(c[6]), verified.text());
                        assertEquals(Long.parseLong(c[4]), verified.signer().serial());
                        assertEquals(c[5], verified.signer().userId());
                        assertEquals(1024, verified.signer().keyBits());
                        assertTrue(
                            Duration.between(verified.signer().signedAt(), Instant.now()).abs().toDays()
                                <= 1);
                        String end =
                            new String(
                                    Arrays.copyOf(document, (int) verified.consumed()),
                                    StandardCharsets.ISO_8859_1)
                                .stripTrailing();
                        assertTrue(end.endsWith("END SIGNATURE"), end);
                      } else {
                        VerifyException e =
                            assertThrows(
                                VerifyException.class,
                                () ->
                                    Verifier.verifyDocument(
                                        cards, document, lenient, Verifier.DEFAULT_USER_ID_CHARSET));
                        assertEquals(status(c[3]), e.status());
                      }
                    }));
  }

  @TestFactory
  Stream<DynamicTest> detachedSignaturesInMemoryAndStreamed() throws IOException {
    return cases("detached")
        .map(
            c ->
                dynamicTest(
                    c[1],
                    () -> {
                      byte[] signature = read(c[1]);
                      byte[] data = read(c[2]);
                      if (status(c[3]) == Status.OK) {
                        assertEquals(
                            Long.parseLong(c[4]), Verifier.verifyDetached(cards, signature, data).serial());
                        Signer streamed =
                            Verifier.verifyDetached(cards, signature, new ByteArrayInputStream(data));
                        assertEquals("Test User", streamed.userId());
                      } else {
                        VerifyException e =
                            assertThrows(
                                VerifyException.BadSignature.class,
                                () -> Verifier.verifyDetached(cards, signature, data));
                        assertEquals(status(c[3]), e.status());
                        assertEquals(Long.parseLong(c[4]), e.serial());
                      }
                    }));
  }

  @TestFactory
  Stream<DynamicTest> authLines() throws IOException {
    return cases("auth")
        .map(
            c ->
                dynamicTest(
                    c[1],
                    () -> {
                      byte[] text = read(c[1]);
                      long serial = Long.parseLong(c[3]);
                      if (status(c[4]) == Status.OK) {
                        AuthLine line = Verifier.checkAuthLine(c[2], text, serial);
                        assertEquals(AuthLine.KeyType.values()[Integer.parseInt(c[5])], line.keyType());
                        assertEquals(Integer.parseInt(c[6]), line.lineStart());
                        assertArrayEquals(Arrays.copyOf(text, line.lineStart()), line.message());
                      } else {
                        VerifyException e =
                            assertThrows(
                                VerifyException.class, () -> Verifier.checkAuthLine(c[2], text, serial));
                        assertEquals(status(c[4]), e.status());
                      }
                    }));
  }

  @TestFactory
  Stream<DynamicTest> cardCollections() throws IOException {
    return cases("cards")
        .map(
            c ->
                dynamicTest(
                    c[1] + " " + c[2],
                    () -> {
                      boolean laterWins = c[2].equals("later_wins");
                      if (status(c[3]) == Status.OK) {
                        try (Cards loaded = Cards.load(read(c[1]), laterWins)) {
                          assertEquals(Integer.parseInt(c[4]), loaded.size());
                        }
                      } else {
                        VerifyException e =
                            assertThrows(VerifyException.class, () -> Cards.load(read(c[1]), laterWins));
                        assertEquals(status(c[3]), e.status());
                      }
                    }));
  }

  @Test
  void everyFailingStatusHasItsOwnException() {
    java.util.Set<Class<?>> classes = new java.util.HashSet<>();
    for (Status status : Status.values()) {
      if (status == Status.OK) continue;
      VerifyException e = VerifyException.of(status, "", 0);
      assertEquals(status, e.status());
      assertTrue(classes.add(e.getClass()), status.toString());
    }
  }

  @Test
  void aPrefixMustBeTwentyHexDigits() {
    VerifyException e =
        assertThrows(VerifyException.class, () -> Verifier.parsePrefix("5f3a9c0e71d24b86e2a"));
    assertEquals(Status.PREFIX, e.status());
  }

  @Test
  void aClosedCollectionIsRefused() throws Exception {
    Cards closed = Cards.load(read("cards.key"));
    closed.close();
    assertThrows(IllegalStateException.class, () -> Verifier.verifyDocument(closed, read("good.txt")));
  }

  @Test
  void oneCollectionServesManyThreads() throws Exception {
    byte[] good = read("good.txt");
    byte[] tampered = read("tampered.txt");
    ExecutorService pool = Executors.newFixedThreadPool(4);
    try {
      List<Future<Integer>> failures = new ArrayList<>();
      for (int t = 0; t < 4; t++) {
        failures.add(
            pool.submit(
                () -> {
                  int failed = 0;
                  for (int i = 0; i < 100; i++) {
                    if (Verifier.verifyDocument(cards, good).signer().serial() != 12345) failed++;
                    try {
                      Verifier.verifyDocument(cards, tampered);
                      failed++;
                    } catch (VerifyException e) {
                      if (e.status() != Status.BAD_SIGNATURE) failed++;
                    }
                  }
                  return failed;
                }));
      }
      for (Future<Integer> failed : failures) assertEquals(0, failed.get(60, TimeUnit.SECONDS));
    } finally {
      pool.shutdownNow();
      assertTrue(pool.awaitTermination(10, TimeUnit.SECONDS));
    }
    assertFalse(Verifier.libraryVersion().isEmpty());
  }
}
