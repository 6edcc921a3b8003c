import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.stream.Stream;
import org.velix.verify.Cards;
import org.velix.verify.Verifier;

/**
 * The Java binding's loop over the documents bench_verify_loop wrote: java VerifyLoop DIR ROUNDS
 * prints each round's documents/s (4 passes, wall time) after warm-up rounds that let the JIT compile it.
 */
public final class VerifyLoop {
  private static final int WARM_UP_ROUNDS = 5;
  private static final int PASSES = 4;

  public static void main(String[] args) throws Exception {
    Path dir = Path.of(args[0]);
    int rounds = Integer.parseInt(args[1]);
    List<byte[]> documents = new ArrayList<>();
    try (Stream<Path> files = Files.list(dir)) {
      for (Path file : (Iterable<Path>) files.sorted()::iterator) {
        if (file.getFileName().toString().startsWith("doc")) documents.add(Files.readAllBytes(file));
      }
    }
    try (Cards cards = Cards.load(Files.readAllBytes(dir.resolve("cards.key")))) {
      for (int round = -WARM_UP_ROUNDS; round < rounds; round++) {
        long start = System.nanoTime();
        for (int pass = 0; pass < PASSES; pass++) {
          for (byte[] document : documents) Verifier.verifyDocument(cards, document);
        }
        double seconds = (System.nanoTime() - start) / 1e9;
        if (round >= 0) System.out.printf("%.1f%n", PASSES * documents.size() / seconds);
      }
    }
  }
}
